// sr25519 signing, verification and VRF evaluation/verification.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/suites.hpp"

namespace {

using valtorimesca::classical::sr25519::OsRng;
using valtorimesca::classical::sr25519::Sr25519;

struct Fixture {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
  std::vector<uint8_t> msg = std::vector<uint8_t>(64, 0x5a);
  std::span<const uint8_t> label = valtorimesca::suites::label_bytes(valtorimesca::suites::kLabelSrMl44);
  std::array<uint8_t, 64> sig{};
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 64> proof{};
  Fixture() {
    std::array<uint8_t, 32> seed{};
    seed.fill(0x11);
    (void)Sr25519::derive(seed, sk, pk);
    (void)Sr25519::sign_deterministic(sk, msg, {}, label, sig);
    (void)Sr25519::vrf_evaluate_deterministic(sk, label, msg, pre, proof);
  }
};

const Fixture& fx() {
  static const Fixture f;
  return f;
}

void BM_Sign(benchmark::State& st) {
  const auto& f = fx();
  OsRng os;
  std::array<uint8_t, 64> out{};
  for (auto _ : st) {
    (void)Sr25519::sign(f.sk, f.msg, f.label, os, out);
    benchmark::DoNotOptimize(out);
  }
}

void BM_SignDeterministic(benchmark::State& st) {
  const auto& f = fx();
  std::array<uint8_t, 64> out{};
  for (auto _ : st) {
    (void)Sr25519::sign_deterministic(f.sk, f.msg, {}, f.label, out);
    benchmark::DoNotOptimize(out);
  }
}

void BM_Verify(benchmark::State& st) {
  const auto& f = fx();
  for (auto _ : st) benchmark::DoNotOptimize(Sr25519::verify(f.pk, f.msg, f.label, f.sig).unwrap_u8());
}

void BM_VrfProve(benchmark::State& st) {
  const auto& f = fx();
  OsRng os;
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 64> proof{};
  for (auto _ : st) {
    (void)Sr25519::vrf_evaluate(f.sk, f.label, f.msg, os, pre, proof);
    benchmark::DoNotOptimize(proof);
  }
}

void BM_VrfVerify(benchmark::State& st) {
  const auto& f = fx();
  for (auto _ : st) benchmark::DoNotOptimize(Sr25519::vrf_verify(f.pk, f.label, f.msg, f.pre, f.proof).unwrap_u8());
}

BENCHMARK(BM_Sign);
BENCHMARK(BM_SignDeterministic);
BENCHMARK(BM_Verify);
BENCHMARK(BM_VrfProve);
BENCHMARK(BM_VrfVerify);

}  // namespace

BENCHMARK_MAIN();
