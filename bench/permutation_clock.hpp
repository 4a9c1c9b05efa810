// The time of one Keccak-p[1600] permutation on one lane of the 8-lane
// code: the floor against which the hash-based operations are measured.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

#include "keccak/keccak.hpp"

namespace vt_bench {

// Seconds per permutation of one lane of permute_x8.
inline double x8_per_permutation(bool portable) {
  keccak::force_portable(portable);
  keccak::State st[8] = {};
  constexpr int kCalls = 100000;
  for (int i = 0; i < 2000; ++i) keccak::permute_x8(st);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) keccak::permute_x8(st);
  const auto t1 = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(st);
  keccak::force_portable(false);
  return std::chrono::duration<double>(t1 - t0).count() / (8.0 * kCalls);
}

}  // namespace vt_bench
