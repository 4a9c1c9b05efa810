// Hash-based engine timings. Each operation also reports the Keccak
// permutations it ran ("perms", and by kernel) and its time against its
// permutation limit, each permutation at the cost of its own kernel measured
// in the same run ("ratio", "floor_us"; see perm_ratio.hpp); the *_portable
// variants run every permutation on the portable code. permute_x8 times the
// bare 8-lane kernel ("ns_per_lane": nanoseconds per lane).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string_view>
#include <vector>

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signer.hpp"
#include "hash_engine/shrincs/verifier.hpp"
#include "keccak/keccak.hpp"
#include "perm_ratio.hpp"

namespace {

using hash::Digest;
using hash::Part;
using shrincs::key::Keys;
using shrincs::verifier::ShrincsVerifier;

Digest seed(const char* s) { return hash::ops::keccak_packed({Part(std::string_view(s))}); }

Keys make_keys(uint32_t capacity) {
  return *Keys::generate(hash::SecretSeed(seed("a")), hash::SecretSeed(seed("b")), seed("c"),
                         hash::SecretSeed(seed("d")), hash::SecretSeed(seed("e")), seed("f"), capacity);
}

shrincs::ShrincsAction action() {
  shrincs::ShrincsAction a;
  a.words[0] = seed("w0");
  a.words[3] = seed("w3");
  a.words[4] = seed("w4");
  return a;
}

void BM_permute_x8(benchmark::State& state, bool portable) {
  keccak::force_portable(portable);
  LaneKernel<8> k;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    k.run(portable);
    benchmark::DoNotOptimize(k);
  }
  const auto t1 = std::chrono::steady_clock::now();
  keccak::force_portable(false);
  state.counters["ns_per_lane"] =
      std::chrono::duration<double, std::nano>(t1 - t0).count() / (8.0 * double(state.iterations()));
}

// H over four parts as the engine builds them: a label, a seed, an address
// and a last field of state.range(0) bytes (32: one block; 300: three).
void BM_keccak_packed(benchmark::State& state) {
  const std::string_view label = "VT-bench-hash-label";
  const Digest s = seed("s"), addr = seed("t");
  const std::vector<uint8_t> last(size_t(state.range(0)), 0x5a);
  for (auto _ : state) {
    Digest d = hash::ops::keccak_packed({Part(label), Part(s), Part(addr), Part(last.data(), last.size())});
    benchmark::DoNotOptimize(d);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(label.size() + 64 + last.size()));
}

void BM_keygen(benchmark::State& state, bool portable) {
  const uint32_t cap = uint32_t(state.range(0));
  run(
      state, portable, Limit::kEngineOnly, [] {}, [&] { benchmark::DoNotOptimize(make_keys(cap)); });
}

void BM_import_4096(benchmark::State& state, bool portable) {
  const Keys k = make_keys(4096);
  const auto b = k.to_bytes();
  run(
      state, portable, Limit::kEngineOnly, [] {}, [&] { benchmark::DoNotOptimize(Keys::import(b.span())); });
}

void BM_sign_stateful(benchmark::State& state, bool portable) {
  static Keys k = make_keys(4096);
  const uint32_t leaf = uint32_t(state.range(0));
  const Digest m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateful, k.commitment, action());
  run(
      state, portable, Limit::kEngineOnly, [&] { k.stateful.set_next(leaf); },
      [&] { benchmark::DoNotOptimize(shrincs::uxmss::sign_stateful_raw(k.stateful, m)); });
}

void BM_sign_stateless(benchmark::State& state, bool portable) {
  static Keys k = make_keys(16);
  const Digest m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateless, k.commitment, action());
  run(
      state, portable, Limit::kEngineOnly, [] {},
      [&] { benchmark::DoNotOptimize(shrincs::signer::ShrincsSigner::sign_stateless_raw(k.stateless, m)); });
}

void BM_verify_stateful(benchmark::State& state, bool portable) {
  static Keys k = make_keys(4096);
  const auto a = action();
  const Digest m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateful, k.commitment, a);
  k.stateful.set_next(uint32_t(state.range(0)));
  const auto sig = *shrincs::uxmss::sign_stateful_raw(k.stateful, m);
  const auto pk = k.public_key();
  run(
      state, portable, Limit::kEngineOnly, [] {},
      [&] {
        const auto key = shrincs::dispatch::CheckedKey::check(k.commitment, pk);
        if (!key || !ShrincsVerifier::verify_stateful(*key, a, sig)) state.SkipWithError("rejected");
      });
}

void BM_verify_stateless(benchmark::State& state, bool portable) {
  static Keys k = make_keys(16);
  const auto a = action();
  const Digest m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateless, k.commitment, a);
  static auto sig = *shrincs::signer::ShrincsSigner::sign_stateless_raw(k.stateless, m);
  const auto pk = k.public_key();
  run(
      state, portable, Limit::kEngineOnly, [] {},
      [&] {
        const auto key = shrincs::dispatch::CheckedKey::check(k.commitment, pk);
        if (!key || !ShrincsVerifier::verify_stateless(*key, a, sig)) state.SkipWithError("rejected");
      });
}

void register_all() {
  benchmark::RegisterBenchmark("keccak_packed", BM_keccak_packed)
      ->Arg(32)
      ->Arg(300)
      ->Repetitions(9)
      ->ReportAggregatesOnly(true);
  for (bool portable : {false, true}) {
    const std::string sfx = portable ? "_portable" : "";
    benchmark::RegisterBenchmark(("permute_x8" + sfx).c_str(), BM_permute_x8, portable);
    benchmark::RegisterBenchmark(("keygen" + sfx).c_str(), BM_keygen, portable)
        ->Arg(16)
        ->Arg(256)
        ->Arg(4096)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(portable ? 1 : 3);
    benchmark::RegisterBenchmark(("import_4096" + sfx).c_str(), BM_import_4096, portable)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(portable ? 1 : 3);
    benchmark::RegisterBenchmark(("sign_stateful" + sfx).c_str(), BM_sign_stateful, portable)
        ->Arg(1)
        ->Arg(4096)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("sign_stateless" + sfx).c_str(), BM_sign_stateless, portable)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(portable ? 1 : 3);
    benchmark::RegisterBenchmark(("verify_stateful" + sfx).c_str(), BM_verify_stateful, portable)
        ->Arg(1)
        ->Arg(4096)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("verify_stateless" + sfx).c_str(), BM_verify_stateless, portable)
        ->Unit(benchmark::kMicrosecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
