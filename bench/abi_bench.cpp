// The suite ABI's stateless calls, timed in C++ so that binding_bench.py can
// set the Python-level cost of the same calls beside them.
#include <benchmark/benchmark.h>

#include <vector>

#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateless_suites.hpp"
#include "valtorimesca_abi/verify.hpp"

namespace {

using namespace valtorimesca_abi;

struct Keys {
  std::vector<uint8_t> sk, pk, sig;
  explicit Keys(SuiteCode c) : sk(sizes(c).secret_key), pk(sizes(c).public_key), sig(sizes(c).signature) {
    std::vector<uint8_t> seed(32, 7);
    (void)stateless_suites::keygen_from_seed(c, seed, sk, pk);
    (void)stateless_suites::sign_deterministic(c, sk, msg(), {}, {}, sig);
  }
  static std::span<const uint8_t> msg() {
    static const uint8_t m[32] = {1};
    return m;
  }
};

void BM_keygen(benchmark::State& st, SuiteCode c) {
  std::vector<uint8_t> seed(32, 7), sk(sizes(c).secret_key), pk(sizes(c).public_key);
  for (auto _ : st) benchmark::DoNotOptimize(stateless_suites::keygen_from_seed(c, seed, sk, pk));
}

void BM_sign_deterministic(benchmark::State& st, SuiteCode c) {
  Keys k(c);
  for (auto _ : st) benchmark::DoNotOptimize(stateless_suites::sign_deterministic(c, k.sk, Keys::msg(), {}, {}, k.sig));
}

void BM_verify(benchmark::State& st, SuiteCode c) {
  Keys k(c);
  for (auto _ : st) benchmark::DoNotOptimize(verify::verify(c, k.pk, Keys::msg(), {}, k.sig));
}

// A refusal before any cryptography: the floor of a call.
void BM_verify_bad_length(benchmark::State& st) {
  std::vector<uint8_t> pk(10);
  for (auto _ : st) benchmark::DoNotOptimize(verify::verify(SuiteCode::ED_ML_44, pk, {}, {}, {}));
}

BENCHMARK_CAPTURE(BM_keygen, ED_ML_44, SuiteCode::ED_ML_44);
BENCHMARK_CAPTURE(BM_sign_deterministic, ED_ML_44, SuiteCode::ED_ML_44);
BENCHMARK_CAPTURE(BM_verify, ED_ML_44, SuiteCode::ED_ML_44);
BENCHMARK_CAPTURE(BM_verify, SR_ML_44, SuiteCode::SR_ML_44);
BENCHMARK_CAPTURE(BM_sign_deterministic, ED_FN_512, SuiteCode::ED_FN_512);
BENCHMARK_CAPTURE(BM_verify, ED_FN_512, SuiteCode::ED_FN_512);
BENCHMARK(BM_verify_bad_length);

}  // namespace

BENCHMARK_MAIN();
