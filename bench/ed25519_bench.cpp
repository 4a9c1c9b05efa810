// Ed25519 component and ECVRF half, beside libsodium's own Ed25519 signer
// and (strict, cofactorless) verifier in the same run.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <array>
#include <cstdint>

#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/suites.hpp"

namespace {

using valtorimesca::classical::ed25519::Ed25519;

struct Fixture {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
  std::array<uint8_t, 64> msg{};
  std::array<uint8_t, 64> sig{};
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 48> proof{};

  Fixture() {
    std::array<uint8_t, 32> seed{};
    for (size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<uint8_t>(i * 7 + 1);
    for (size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<uint8_t>(i);
    if (!Ed25519::derive(seed, sk, pk).ok()) std::abort();
    if (!valtorimesca::classical::ed25519::raw_sign(sk, msg, sig).ok()) std::abort();
    if (!Ed25519::vrf_evaluate_deterministic(sk, label(), msg, pre, proof).ok()) std::abort();
  }
  static std::span<const uint8_t> label() {
    return valtorimesca::suites::label_bytes(valtorimesca::suites::kLabelEdMl44);
  }
};

const Fixture& fixture() {
  static const Fixture f;
  return f;
}

void BM_Sign(benchmark::State& state) {
  const auto& f = fixture();
  std::array<uint8_t, 64> out{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(valtorimesca::classical::ed25519::raw_sign(f.sk, f.msg, out).ok());
    benchmark::DoNotOptimize(out);
  }
}

void BM_Verify(benchmark::State& state) {
  const auto& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(Ed25519::verify(f.pk, f.msg, Fixture::label(), f.sig).declassify());
}

// The full cofactored check, taken by signatures the strict shortcut refuses.
void BM_VerifyCofactoredPath(benchmark::State& state) {
  const auto& f = fixture();
  for (auto _ : state)
    benchmark::DoNotOptimize(valtorimesca::classical::ed25519::detail::verify_cofactored(f.pk, f.msg, f.sig));
}

void BM_VrfProve(benchmark::State& state) {
  const auto& f = fixture();
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 48> proof{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(Ed25519::vrf_evaluate_deterministic(f.sk, Fixture::label(), f.msg, pre, proof).ok());
    benchmark::DoNotOptimize(proof);
  }
}

void BM_VrfVerify(benchmark::State& state) {
  const auto& f = fixture();
  for (auto _ : state)
    benchmark::DoNotOptimize(Ed25519::vrf_verify(f.pk, Fixture::label(), f.msg, f.pre, f.proof).declassify());
}

void BM_VrfMakeBytes(benchmark::State& state) {
  const auto& f = fixture();
  for (auto _ : state) benchmark::DoNotOptimize(Ed25519::vrf_make_bytes(f.pk, Fixture::label(), f.msg, f.pre, {}).ok());
}

void BM_LibsodiumSign(benchmark::State& state) {
  const auto& f = fixture();
  std::array<uint8_t, 64> out{};
  for (auto _ : state) {
    crypto_sign_ed25519_detached(out.data(), nullptr, f.msg.data(), f.msg.size(), f.sk.data());
    benchmark::DoNotOptimize(out);
  }
}

void BM_LibsodiumVerify(benchmark::State& state) {
  const auto& f = fixture();
  for (auto _ : state)
    benchmark::DoNotOptimize(
        crypto_sign_ed25519_verify_detached(f.sig.data(), f.msg.data(), f.msg.size(), f.pk.data()));
}

BENCHMARK(BM_Sign);
BENCHMARK(BM_LibsodiumSign);
BENCHMARK(BM_Verify);
BENCHMARK(BM_VerifyCofactoredPath);
BENCHMARK(BM_LibsodiumVerify);
BENCHMARK(BM_VrfProve);
BENCHMARK(BM_VrfVerify);
BENCHMARK(BM_VrfMakeBytes);

}  // namespace

BENCHMARK_MAIN();
