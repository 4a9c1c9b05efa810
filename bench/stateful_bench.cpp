// Timings of the stateful suites through the core: key generation and
// blob import at 4096 leaves, few-time signing, stateful signing at the
// first, middle and last leaf of a 4096-leaf key, verification on both
// paths, each with the Keccak permutations it ran (perm_ratio.hpp). Every one
// includes the Ed25519 half, so none is set against the engine's permutation
// limit; engine_bench times the engine alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "memory_stores.hpp"
#include "perm_ratio.hpp"
#include "valtorimesca/stateful_composite.hpp"

namespace {

using namespace valtorimesca;
using stateful_composite::EdSh;
using stateful_composite::SecretKey;
using Journal = vt_test::MemoryJournal;
using Budget = vt_test::MemoryBudget;

const std::vector<uint8_t> kMsg(64, 0x5a);
const std::vector<uint8_t> kCtx = {'b', 'e', 'n', 'c', 'h'};

std::array<uint8_t, 32> master() {
  std::array<uint8_t, 32> m{};
  m.fill(0x42);
  return m;
}

const std::vector<uint8_t>& blob_4096() {
  static const std::vector<uint8_t> b = [] {
    auto kp = stateful_composite::keygen<EdSh>(master(), 4096);
    auto e = kp->sk.export_blob();
    return std::vector<uint8_t>(e->data(), e->data() + e->size());
  }();
  return b;
}

SecretKey& key_4096() {
  static SecretKey k = SecretKey::import <EdSh>(blob_4096()).value();
  return k;
}

std::vector<uint8_t> pk_of(const SecretKey& k) {
  std::array<uint8_t, 64> sk{};
  std::vector<uint8_t> pk(32);
  (void)EdSh::Classical::derive(std::span<const uint8_t, 32>(k.classical_sk.data(), 32), sk, pk);
  pk.insert(pk.end(), k.bundle.begin(), k.bundle.end());
  return pk;
}

void BM_keygen_4096(benchmark::State& state) {
  run(
      state, false, Limit::kCountsOnly, [] {},
      [] { benchmark::DoNotOptimize(stateful_composite::keygen<EdSh>(master(), 4096)); });
}

void BM_import_4096(benchmark::State& state) {
  const auto& b = blob_4096();
  run(
      state, false, Limit::kCountsOnly, [] {}, [&] { benchmark::DoNotOptimize(SecretKey::import <EdSh>(b)); });
}

// Stateful signature with leaf `range(0)` of the 4096-leaf key.
void BM_sign_stateful(benchmark::State& state) {
  SecretKey& k = key_4096();
  const uint32_t leaf = uint32_t(state.range(0));
  Journal j{stateful::KeyIdentity::derive(EdSh::label(), k.bundle)};
  run(
      state, false, Limit::kCountsOnly,
      [&] {
        k.pq.keys().stateful.set_next(leaf);
        j.next = leaf - 1;
      },
      [&] {
        auto r = stateful_composite::sign_stateful<EdSh>(k, stateful::JournalRef(j), kMsg, kCtx);
        if (!r) state.SkipWithError("refused");
        benchmark::DoNotOptimize(r);
      });
}

void BM_sign_stateless(benchmark::State& state) {
  const SecretKey& k = key_4096();
  Budget b;
  run(
      state, false, Limit::kCountsOnly, [] {},
      [&] {
        auto r = stateful_composite::sign_stateless<EdSh>(k, budget::BudgetRef(b), kMsg, kCtx);
        if (!r) state.SkipWithError("refused");
        benchmark::DoNotOptimize(r);
      });
}

void BM_verify_stateful_4096(benchmark::State& state) {
  SecretKey& k = key_4096();
  k.pq.keys().stateful.set_next(4096);
  Journal j{stateful::KeyIdentity::derive(EdSh::label(), k.bundle), 4095};
  const auto sig = stateful_composite::sign_stateful<EdSh>(k, stateful::JournalRef(j), kMsg, kCtx).value();
  const auto pk = pk_of(k);
  run(
      state, false, Limit::kCountsOnly, [] {},
      [&] {
        if (!stateful_composite::verify_stateful<EdSh>(pk, kMsg, kCtx, sig)) state.SkipWithError("rejected");
      });
}

void BM_verify_stateless(benchmark::State& state) {
  const SecretKey& k = key_4096();
  Budget b;
  const auto sig = stateful_composite::sign_stateless<EdSh>(k, budget::BudgetRef(b), kMsg, kCtx).value();
  const auto pk = pk_of(k);
  run(
      state, false, Limit::kCountsOnly, [] {},
      [&] {
        if (!stateful_composite::verify_stateless<EdSh>(pk, kMsg, kCtx, sig)) state.SkipWithError("rejected");
      });
}

}  // namespace

BENCHMARK(BM_keygen_4096)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_import_4096)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_sign_stateful)->Arg(1)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_sign_stateless)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_verify_stateful_4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_verify_stateless)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
