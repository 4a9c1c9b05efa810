// The suite ABI's stateful calls, timed in C++ so that binding_bench.py can
// set the Python-level cost of the same calls beside them: a stateful
// signature through an in-memory journal, and opening a key handle (the
// validating import) at the largest leaf capacity.
#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

#include "memory_stores.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

namespace {

using namespace valtorimesca_abi;
using valtorimesca::stateful::KeyIdentity;
using vt_test::MemoryJournal;

// The export blob of the ED_SH key of seed 7..7 with `capacity` leaves.
std::vector<uint8_t> blob_of(uint32_t capacity) {
  std::vector<uint8_t> seed(32, 7), sk(sizes(SuiteCode::ED_SH).secret_key), pk(sizes(SuiteCode::ED_SH).public_key);
  if (!stateful_suites::keygen_stateful_from_seed(SuiteCode::ED_SH, seed, capacity, sk, pk)) std::abort();
  return sk;
}

// Leaves 1 to n of a fresh key, one per iteration (binding_bench.py signs
// the same leaves from Python).
void BM_sign_stateful(benchmark::State& st) {
  auto handle = handle::open(SuiteCode::ED_SH, blob_of(4096));
  if (!handle) std::abort();
  MemoryJournal journal{KeyIdentity{handle::key_identity(*handle)}, 0};
  std::vector<uint8_t> sig(signature_len(SuiteCode::ED_SH));
  static const uint8_t msg[32] = {1};
  for (auto _ : st) {
    benchmark::DoNotOptimize(handle::sign_stateful_with_handle(*handle, journal, msg, {}, sig));
  }
}

void BM_open(benchmark::State& st) {
  const auto blob = blob_of(static_cast<uint32_t>(st.range(0)));
  for (auto _ : st) benchmark::DoNotOptimize(handle::open(SuiteCode::ED_SH, blob));
}

BENCHMARK(BM_sign_stateful)->Iterations(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_open)->Arg(4096)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
