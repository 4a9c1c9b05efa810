// Timing of an operation against its permutation limit: the number of
// Keccak permutations it runs times the per-lane time of permute_x8 measured
// at the start of the same run ("ratio"); "perms" is that number.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

#include "hash_engine/hash/ops.hpp"
#include "keccak/keccak.hpp"

namespace {

// Seconds per permutation of one lane of permute_x8.
double x8_per_permutation(bool portable) {
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

double per_perm(bool portable) {
  static const double fast = x8_per_permutation(false);
  static const double slow = x8_per_permutation(true);
  return portable ? slow : fast;
}

// Runs op once per iteration, measuring its permutations on the first one.
template <class Setup, class Op>
void run(benchmark::State& state, bool portable, Setup&& setup, Op&& op) {
  const double pp = per_perm(portable);
  keccak::force_portable(portable);
  uint64_t perms = 0;
  bool first = true;
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    setup();
    hash::reset_permutation_count();
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    op();
    const auto t1 = std::chrono::steady_clock::now();
    seconds += std::chrono::duration<double>(t1 - t0).count();
    if (first) perms = hash::permutation_count();
    first = false;
  }
  keccak::force_portable(false);
  state.counters["perms"] = double(perms);
  state.counters["x8_ns_per_perm"] = pp * 1e9;
  state.counters["ratio"] = (seconds / double(state.iterations())) / (double(perms) * pp);
}

}  // namespace
