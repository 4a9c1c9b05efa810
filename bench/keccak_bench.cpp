// Keccak-p[1600] cost per single permutation for the one-lane codes and for
// every multi-lane backend this CPU runs, plus multi-lane Keccak-256 of short
// equal-length inputs (the shape of hash-chain steps and tree nodes).
//
// The counter ns_per_perm (ns_per_hash) is the wall time of the timed loop
// divided by the number of permutations (hashes) it performed. "x4/<backend>"
// and "x8/<backend>" run on interleaved lanes (the layout the multi-lane
// sponge uses); ".../states" goes through permute_x4/x8 on whole states,
// transposing in and out around the vector code.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "keccak/keccak.hpp"
#include "keccak/testing.hpp"

namespace {

using keccak::Backend;

// Times the benchmark loop itself and reports nanoseconds per item as a plain
// number (an inverted rate counter would print it as seconds).
class PerItem {
 public:
  PerItem(benchmark::State& st, const char* name, double items_per_iter)
      : st_(st), name_(name), items_(items_per_iter), t0_(Clock::now()) {}
  ~PerItem() {
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0_).count();
    const double n = static_cast<double>(st_.iterations()) * items_;
    st_.counters[name_] = n > 0 ? ns / n : 0;
  }

 private:
  using Clock = std::chrono::steady_clock;
  benchmark::State& st_;
  const char* name_;
  double items_;
  Clock::time_point t0_;
};

keccak::State seed_state(uint64_t k) {
  keccak::State s;
  for (size_t i = 0; i < s.size(); ++i) s[i] = 0x9E3779B97F4A7C15ULL * (i + 1) + k;
  return s;
}

void bm_x1(benchmark::State& st, Backend b) {
  keccak::cap_backend(b);
  keccak::State s = seed_state(1);
  st.SetLabel(keccak::x1_backend());
  {
    PerItem t(st, "ns_per_perm", 1);
    for (auto _ : st) {
      keccak::permute(s);
      benchmark::DoNotOptimize(s);
    }
  }
  keccak::uncap_backend();
}

template <size_t N>
void bm_lanes(benchmark::State& st, Backend b, bool interleaved) {
  keccak::cap_backend(b);
  std::array<keccak::State, N> s;
  for (size_t k = 0; k < N; ++k) s[k] = seed_state(k);
  alignas(64) uint64_t lanes[25 * N];
  for (size_t i = 0; i < 25; ++i)
    for (size_t k = 0; k < N; ++k) lanes[i * N + k] = s[k][i];
  st.SetLabel(N == 4 ? keccak::x4_backend() : keccak::x8_backend());
  PerItem t(st, "ns_per_perm", N);
  for (auto _ : st) {
    if (interleaved) {
      if constexpr (N == 4)
        keccak::permute_x4_interleaved(lanes);
      else
        keccak::permute_x8_interleaved(lanes);
      benchmark::DoNotOptimize(lanes);
    } else {
      if constexpr (N == 4)
        keccak::testing::permute_x4(s.data());
      else
        keccak::testing::permute_x8(s.data());
      benchmark::DoNotOptimize(s);
    }
    benchmark::ClobberMemory();
  }
  keccak::uncap_backend();
}

void bm_many(benchmark::State& st, Backend b, size_t count, size_t len) {
  keccak::cap_backend(b);
  std::vector<std::vector<uint8_t>> in(count, std::vector<uint8_t>(len, 0x5A));
  std::vector<const uint8_t*> p(count);
  for (size_t k = 0; k < count; ++k) {
    in[k][0] = static_cast<uint8_t>(k);
    p[k] = in[k].data();
  }
  std::vector<std::array<uint8_t, 32>> out(count);
  st.SetLabel(keccak::x8_backend());
  PerItem t(st, "ns_per_hash", static_cast<double>(count));
  for (auto _ : st) {
    if (count == 1) {
      out[0] = keccak::keccak256(p[0], len);
    } else {
      keccak::keccak256_many(p.data(), count, len, reinterpret_cast<uint8_t(*)[32]>(out.data()));
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  keccak::uncap_backend();
}

const char* name_of(Backend b) {
  switch (b) {
    case Backend::kAvx512vl: return "avx512vl";
    case Backend::kAvx512f: return "avx512f";
    case Backend::kAvx2: return "avx2";
    case Backend::kPortable: break;
  }
  return "portable";
}

// Registers one benchmark per backend this CPU runs, before main starts.
const bool kRegistered = [] {
  const Backend best = keccak::best_backend();
  benchmark::RegisterBenchmark("permute/x1/portable", bm_x1, Backend::kPortable);
  if (best >= Backend::kAvx2) {
    keccak::cap_backend(Backend::kAvx2);
    if (std::string(keccak::x1_backend()) != "portable")
      benchmark::RegisterBenchmark(("permute/x1/" + std::string(keccak::x1_backend())).c_str(), bm_x1, Backend::kAvx2);
    keccak::uncap_backend();
  }
  if (best == Backend::kAvx512vl) benchmark::RegisterBenchmark("permute/x1/avx512vl", bm_x1, Backend::kAvx512vl);
  for (Backend b : {Backend::kPortable, Backend::kAvx2, Backend::kAvx512f, Backend::kAvx512vl}) {
    if (b > best) continue;
    const std::string n = name_of(b);
    if (b != Backend::kAvx512f) {  // x4 has no AVX-512F-only form
      const std::string n4 = b == Backend::kAvx512vl ? "avx512vl" : n;
      benchmark::RegisterBenchmark(("permute/x4/" + n4).c_str(), bm_lanes<4>, b, true);
      benchmark::RegisterBenchmark(("permute/x4/" + n4 + "/states").c_str(), bm_lanes<4>, b, false);
    }
    if (b != Backend::kAvx512vl) {  // x8 is the same AVX-512F code at both AVX-512 levels
      benchmark::RegisterBenchmark(("permute/x8/" + n).c_str(), bm_lanes<8>, b, true);
      benchmark::RegisterBenchmark(("permute/x8/" + n + "/states").c_str(), bm_lanes<8>, b, false);
    }
  }
  for (Backend b : {Backend::kPortable, Backend::kAvx2, Backend::kAvx512f}) {
    if (b > best) continue;
    for (size_t len : {size_t{64}, size_t{112}}) {
      const std::string n = "keccak256/len" + std::to_string(len) + "/";
      if (b == Backend::kPortable) benchmark::RegisterBenchmark((n + "x1").c_str(), bm_many, b, size_t{1}, len);
      benchmark::RegisterBenchmark((n + "many64/" + name_of(b)).c_str(), bm_many, b, size_t{64}, len);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
