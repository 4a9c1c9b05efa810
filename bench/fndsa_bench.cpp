// FN-DSA-512: key-pair generation, signing (with and without key
// decoding) and verification.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "fndsa/fndsa.hpp"

namespace {

struct Fixture {
  uint8_t sk[fndsa::kSigningKeyLen];
  uint8_t vk[fndsa::kVerifyingKeyLen];
  uint8_t sig[fndsa::kSignatureLen];
  std::vector<uint8_t> msg = std::vector<uint8_t>(64, 0x5A);
  Fixture() {
    uint8_t seed[32] = {1};
    fndsa::keygen_from_seed(seed, sk, vk);
    fndsa::SigningKey key;
    key.decode(sk);
    uint8_t rnd[40] = {2};
    key.sign_with_seed(msg, {}, rnd, sig);
  }
};

const Fixture& fx() {
  static const Fixture f;
  return f;
}

void BM_Keygen(benchmark::State& st) {
  uint8_t seed[32] = {};
  uint8_t sk[fndsa::kSigningKeyLen], vk[fndsa::kVerifyingKeyLen];
  uint32_t i = 0;
  for (auto _ : st) {
    std::memcpy(seed, &i, sizeof i);
    ++i;
    fndsa::keygen_from_seed(seed, sk, vk);
    benchmark::DoNotOptimize(vk);
  }
}
BENCHMARK(BM_Keygen)->Unit(benchmark::kMillisecond);

void BM_Sign(benchmark::State& st) {
  fndsa::SigningKey key;
  key.decode(fx().sk);
  uint8_t rnd[40] = {};
  uint8_t sig[fndsa::kSignatureLen];
  uint32_t i = 0;
  for (auto _ : st) {
    std::memcpy(rnd, &i, sizeof i);
    ++i;
    benchmark::DoNotOptimize(key.sign_with_seed(fx().msg, {}, rnd, sig));
  }
}
BENCHMARK(BM_Sign)->Unit(benchmark::kMicrosecond);

// The same seed sequence as BM_Sign, so that both average over the same
// attempts per signature and differ by the decoding alone.
void BM_DecodeAndSign(benchmark::State& st) {
  uint8_t rnd[40] = {};
  uint8_t sig[fndsa::kSignatureLen];
  uint32_t i = 0;
  for (auto _ : st) {
    std::memcpy(rnd, &i, sizeof i);
    ++i;
    fndsa::SigningKey key;
    key.decode(fx().sk);
    benchmark::DoNotOptimize(key.sign_with_seed(fx().msg, {}, rnd, sig));
  }
}
BENCHMARK(BM_DecodeAndSign)->Unit(benchmark::kMicrosecond);

// Decoding alone: the key checks, G, the verifying key and the FFT basis.
void BM_DecodeSigningKey(benchmark::State& st) {
  for (auto _ : st) {
    fndsa::SigningKey key;
    benchmark::DoNotOptimize(key.decode(fx().sk));
  }
}
BENCHMARK(BM_DecodeSigningKey)->Unit(benchmark::kMicrosecond);

void BM_Verify(benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(fndsa::verify(fx().vk, fx().msg, {}, fx().sig));
}
BENCHMARK(BM_Verify)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
