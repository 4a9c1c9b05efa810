// Hybrid VRF proving and verification per suite through the suite ABI.
#include <benchmark/benchmark.h>

#include <vector>

#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateless_suites.hpp"
#include "valtorimesca_abi/vrf.hpp"

namespace {

using namespace valtorimesca_abi;
using Bytes = std::vector<uint8_t>;

const Bytes kInput = {'e', 'p', 'o', 'c', 'h', ' ', '7'};

struct StatelessKeys {
  Bytes sk, pk, proof;
  explicit StatelessKeys(SuiteCode c) : sk(sizes(c).secret_key), pk(sizes(c).public_key), proof(vrf::vrf_proof_len(c)) {
    (void)stateless_suites::keygen_from_seed(c, Bytes(32, 7), sk, pk);
    (void)vrf::vrf_prove(c, sk, kInput, proof);
  }
};

void BM_vrf_prove(benchmark::State& st, SuiteCode c) {
  StatelessKeys k(c);
  for (auto _ : st) benchmark::DoNotOptimize(vrf::vrf_prove(c, k.sk, kInput, k.proof));
}

void BM_vrf_prove_deterministic(benchmark::State& st, SuiteCode c) {
  StatelessKeys k(c);
  for (auto _ : st) benchmark::DoNotOptimize(vrf::vrf_prove_deterministic(c, k.sk, kInput, k.proof));
}

void BM_vrf_verify(benchmark::State& st, SuiteCode c) {
  StatelessKeys k(c);
  if (!vrf::vrf_verify(c, k.pk, kInput, k.proof)) st.SkipWithError("rejected");
  for (auto _ : st) benchmark::DoNotOptimize(vrf::vrf_verify(c, k.pk, kInput, k.proof));
}

void BM_vrf_make_bytes(benchmark::State& st, SuiteCode c) {
  StatelessKeys k(c);
  vrf::Output out{};
  const Bytes ctx = {'l', 'e', 'a', 'd'};
  for (auto _ : st) benchmark::DoNotOptimize(vrf::vrf_make_bytes(c, k.pk, kInput, k.proof, ctx, out));
}

#define VT_VRF_STATELESS(fn)                                  \
  BENCHMARK_CAPTURE(fn, ED_ML_44, SuiteCode::ED_ML_44);       \
  BENCHMARK_CAPTURE(fn, ED_FN_512, SuiteCode::ED_FN_512);     \
  BENCHMARK_CAPTURE(fn, SR_ML_44, SuiteCode::SR_ML_44);       \
  BENCHMARK_CAPTURE(fn, SR_FN_512, SuiteCode::SR_FN_512)

VT_VRF_STATELESS(BM_vrf_prove);
VT_VRF_STATELESS(BM_vrf_prove_deterministic);
VT_VRF_STATELESS(BM_vrf_verify);
BENCHMARK_CAPTURE(BM_vrf_make_bytes, ED_ML_44, SuiteCode::ED_ML_44);
BENCHMARK_CAPTURE(BM_vrf_make_bytes, SR_ML_44, SuiteCode::SR_ML_44);

}  // namespace

BENCHMARK_MAIN();
