// Keccak permutation counts of an operation, and for the operations that run
// nothing but the hash-based engine its time against its permutation limit.
//
// "perms" is the number of permutations an operation ran (each lane of a
// multi-lane call counts as one); "perms_x1", "calls_x4" and "calls_x8" split
// it by the kernel that ran it. The limit ("floor_us") counts every
// permutation against its own kernel: a one-lane permutation at the cost of
// the one-lane permutation, a 4- or 8-lane call at the cost of one call of the
// bare 4- or 8-lane kernel, each measured at the start of the same run;
// "ratio" is the operation's time over that limit, and "x8_ns_per_perm" the
// 8-lane kernel's cost per lane in that run. Operations with a
// classical half (the composites and the VRF of the suites) report the counts
// only: their time is not the engine's.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/hash/testing.hpp"
#include "keccak/keccak.hpp"
#include "keccak/testing.hpp"

namespace {

// One call of a bare N-lane kernel: the vector code on interleaved lanes (no
// transposing in or out, no wiping around it), or for the portable code the
// N one-lane permutations themselves.
template <size_t N>
struct LaneKernel {
  static_assert(N == 4 || N == 8);
  alignas(64) uint64_t lanes[25 * N] = {};
  keccak::State states[N] = {};
  void run(bool portable) {
    if constexpr (N == 4) {
      if (portable)
        keccak::testing::permute_x4(states);
      else
        keccak::permute_x4_interleaved(lanes);
    } else {
      if (portable)
        keccak::testing::permute_x8(states);
      else
        keccak::permute_x8_interleaved(lanes);
    }
  }
};

struct OneLane {
  keccak::State state = {};
  void run(bool) { keccak::permute(state); }
};

// Seconds per call of kernel K on the portable or the dispatched code.
template <class K>
double seconds_per_call(bool portable) {
  keccak::force_portable(portable);
  K k;
  constexpr int kCalls = 50000;
  for (int i = 0; i < 2000; ++i) k.run(portable);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) k.run(portable);
  const auto t1 = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(k);
  keccak::force_portable(false);
  return std::chrono::duration<double>(t1 - t0).count() / kCalls;
}

struct KernelCosts {
  double x1, x4, x8;  // seconds per call
  double floor(const hash::PermutationCalls& c) const {
    return double(c.x1) * x1 + double(c.x4) * x4 + double(c.x8) * x8;
  }
};

KernelCosts measure_kernels(bool portable) {
  return {seconds_per_call<OneLane>(portable), seconds_per_call<LaneKernel<4>>(portable),
          seconds_per_call<LaneKernel<8>>(portable)};
}

const KernelCosts& kernel_costs(bool portable) {
  static const KernelCosts fast = measure_kernels(false);
  static const KernelCosts slow = measure_kernels(true);
  return portable ? slow : fast;
}

// Whether an operation runs the engine alone, so that its limit means
// something, or has a classical half too.
enum class Limit { kEngineOnly, kCountsOnly };

// Runs op once per iteration, counting its permutations on the first one.
template <class Setup, class Op>
void run(benchmark::State& state, bool portable, Limit limit, Setup&& setup, Op&& op) {
  const KernelCosts* costs = limit == Limit::kEngineOnly ? &kernel_costs(portable) : nullptr;
  keccak::force_portable(portable);
  hash::PermutationCalls calls;
  uint64_t perms = 0;
  bool first = true;
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    setup();
    hash::testing::reset_permutation_count();
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    op();
    const auto t1 = std::chrono::steady_clock::now();
    seconds += std::chrono::duration<double>(t1 - t0).count();
    if (first) {
      perms = hash::testing::permutation_count();
      calls = hash::testing::permutation_calls();
    }
    first = false;
  }
  keccak::force_portable(false);
  state.counters["perms"] = double(perms);
  state.counters["perms_x1"] = double(calls.x1);
  state.counters["calls_x4"] = double(calls.x4);
  state.counters["calls_x8"] = double(calls.x8);
  if (costs) {
    const double floor = costs->floor(calls);
    state.counters["floor_us"] = floor * 1e6;
    state.counters["x8_ns_per_perm"] = costs->x8 / 8 * 1e9;
    state.counters["ratio"] = floor > 0 ? (seconds / double(state.iterations())) / floor : 0;
  }
}

}  // namespace
