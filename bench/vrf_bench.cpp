// Hybrid VRF proving and verification per suite through the suite ABI. The
// dedicated keys of ED_SH and SR_SH also report the Keccak permutations a
// call ran ("perms", and by kernel; perm_ratio.hpp); with their classical
// half inside, their time is not set against the engine's limit.
#include <benchmark/benchmark.h>

#include <vector>

#include "perm_ratio.hpp"
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

// A store that always has budget left.
struct OpenBudget {
  valtorimesca::budget::Consumed consumed(const valtorimesca::budget::BudgetKey&) {
    return valtorimesca::budget::Consumed::nothing_recorded();
  }
  bool record(const valtorimesca::budget::BudgetKey&, uint64_t) { return true; }
};

vrf::VrfStatelessKey derive_key(SuiteCode c, Bytes& pk) {
  pk.assign(196, 0);
  return std::move(vrf::VrfStatelessKey::derive(c, Seed32{7}, pk)).value();
}

void BM_vrf_key_derive(benchmark::State& st, SuiteCode c) {
  Bytes pk(196);
  run(
      st, false, Limit::kCountsOnly, [] {},
      [&] { benchmark::DoNotOptimize(vrf::VrfStatelessKey::derive(c, Seed32{7}, pk)); });
}

void BM_vrf_key_prove(benchmark::State& st, SuiteCode c) {
  Bytes pk;
  const auto key = derive_key(c, pk);
  Bytes proof(vrf::vrf_proof_len(c));
  OpenBudget store;
  run(
      st, false, Limit::kCountsOnly, [] {},
      [&] { benchmark::DoNotOptimize(vrf::vrf_prove_stateless(key, store, kInput, proof)); });
}

void BM_vrf_verify_stateful_suite(benchmark::State& st, SuiteCode c) {
  Bytes pk;
  const auto key = derive_key(c, pk);
  Bytes proof(vrf::vrf_proof_len(c));
  OpenBudget store;
  (void)vrf::vrf_prove_stateless(key, store, kInput, proof);
  if (!vrf::vrf_verify(c, pk, kInput, proof)) st.SkipWithError("rejected");
  run(
      st, false, Limit::kCountsOnly, [] {}, [&] { benchmark::DoNotOptimize(vrf::vrf_verify(c, pk, kInput, proof)); });
}

BENCHMARK_CAPTURE(BM_vrf_key_derive, ED_SH, SuiteCode::ED_SH)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_vrf_key_derive, SR_SH, SuiteCode::SR_SH)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_vrf_key_prove, ED_SH, SuiteCode::ED_SH)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_vrf_key_prove, SR_SH, SuiteCode::SR_SH)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_vrf_verify_stateful_suite, ED_SH, SuiteCode::ED_SH)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_vrf_verify_stateful_suite, SR_SH, SuiteCode::SR_SH)->Unit(benchmark::kMicrosecond);

#define VT_VRF_STATELESS(fn)                              \
  BENCHMARK_CAPTURE(fn, ED_ML_44, SuiteCode::ED_ML_44);   \
  BENCHMARK_CAPTURE(fn, ED_FN_512, SuiteCode::ED_FN_512); \
  BENCHMARK_CAPTURE(fn, SR_ML_44, SuiteCode::SR_ML_44);   \
  BENCHMARK_CAPTURE(fn, SR_FN_512, SuiteCode::SR_FN_512)

VT_VRF_STATELESS(BM_vrf_prove);
VT_VRF_STATELESS(BM_vrf_prove_deterministic);
VT_VRF_STATELESS(BM_vrf_verify);
BENCHMARK_CAPTURE(BM_vrf_make_bytes, ED_ML_44, SuiteCode::ED_ML_44);
BENCHMARK_CAPTURE(BM_vrf_make_bytes, SR_ML_44, SuiteCode::SR_ML_44);

}  // namespace

BENCHMARK_MAIN();
