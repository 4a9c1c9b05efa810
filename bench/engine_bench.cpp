// Hash-based engine timings. Each operation also reports how many Keccak
// permutations it ran ("perms") and its time relative to that many lanes of
// the bare 8-lane kernel measured in the same run ("ratio", x8_ns_per_perm);
// the *_portable variants run every permutation on the portable code.
#include <benchmark/benchmark.h>

#include <chrono>

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signer.hpp"
#include "hash_engine/shrincs/verifier.hpp"
#include "keccak/keccak.hpp"

namespace {

using hash::Digest;
using hash::Part;
using shrincs::key::Keys;

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

// One call of the bare 8-lane kernel: the vector code on interleaved lanes
// (no transposing in or out, no wiping around it), or for the portable code
// the eight one-lane permutations themselves.
struct X8Kernel {
  alignas(64) uint64_t lanes[25 * 8] = {};
  keccak::State states[8] = {};
  void run(bool portable) {
    if (portable)
      keccak::permute_x8(states);
    else
      keccak::permute_x8_interleaved(lanes);
  }
};

// Seconds per permutation of one lane of the bare 8-lane kernel.
double x8_per_permutation(bool portable) {
  keccak::force_portable(portable);
  X8Kernel k;
  constexpr int kCalls = 100000;
  for (int i = 0; i < 2000; ++i) k.run(portable);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) k.run(portable);
  const auto t1 = std::chrono::steady_clock::now();
  benchmark::DoNotOptimize(k);
  keccak::force_portable(false);
  return std::chrono::duration<double>(t1 - t0).count() / (8.0 * kCalls);
}

double per_perm(bool portable) {
  static const double fast = x8_per_permutation(false);
  static const double slow = x8_per_permutation(true);
  return portable ? slow : fast;
}

// Runs op once per iteration, measuring its permutations on the first one.
template <class Setup, class Op>
void run(benchmark::State& state, bool portable, Setup&& setup, Op&& op) {
  const double pp = per_perm(portable);
  keccak::force_portable(portable);
  uint64_t perms = 0;
  bool first = true;
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    setup();
    hash::reset_permutation_count();
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    op();
    const auto t1 = std::chrono::steady_clock::now();
    seconds += std::chrono::duration<double>(t1 - t0).count();
    if (first) perms = hash::permutation_count();
    first = false;
  }
  keccak::force_portable(false);
  state.counters["perms"] = double(perms);
  state.counters["x8_ns_per_perm"] = pp * 1e9;
  state.counters["ratio"] = (seconds / double(state.iterations())) / (double(perms) * pp);
}

void BM_permute_x8(benchmark::State& state, bool portable) {
  keccak::force_portable(portable);
  X8Kernel k;
  for (auto _ : state) {
    k.run(portable);
    benchmark::DoNotOptimize(k);
  }
  keccak::force_portable(false);
  state.counters["ns_per_lane"] = benchmark::Counter(double(state.iterations()) * 8,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_keygen(benchmark::State& state, bool portable) {
  const uint32_t cap = uint32_t(state.range(0));
  run(state, portable, [] {}, [&] { benchmark::DoNotOptimize(make_keys(cap)); });
}

void BM_import_4096(benchmark::State& state, bool portable) {
  const Keys k = make_keys(4096);
  const auto b = k.to_bytes();
  run(state, portable, [] {}, [&] { benchmark::DoNotOptimize(Keys::import(b.span())); });
}

void BM_sign_stateful(benchmark::State& state, bool portable) {
  static Keys k = make_keys(4096);
  const uint32_t leaf = uint32_t(state.range(0));
  const Digest m = shrincs::verifier::action_message_hash(shrincs::verifier::Path::Stateful, k.commitment, action());
  run(state, portable, [&] { k.stateful.set_next(leaf); },
      [&] { benchmark::DoNotOptimize(shrincs::uxmss::sign_stateful_raw(k.stateful, m)); });
}

void BM_sign_stateless(benchmark::State& state, bool portable) {
  static Keys k = make_keys(16);
  const Digest m = shrincs::verifier::ShrincsVerifier::stateless_action_message_hash(k.commitment, action());
  run(state, portable, [] {},
      [&] { benchmark::DoNotOptimize(shrincs::signer::ShrincsSigner::sign_stateless_raw(k.stateless, m)); });
}

void BM_verify_stateful(benchmark::State& state, bool portable) {
  static Keys k = make_keys(4096);
  const auto a = action();
  const Digest m = shrincs::verifier::action_message_hash(shrincs::verifier::Path::Stateful, k.commitment, a);
  k.stateful.set_next(uint32_t(state.range(0)));
  const auto sig = *shrincs::uxmss::sign_stateful_raw(k.stateful, m);
  const auto pk = k.public_key();
  run(state, portable, [] {}, [&] {
    if (!shrincs::dispatch::verify_stateful(k.commitment, pk, a, sig)) state.SkipWithError("rejected");
  });
}

void BM_verify_stateless(benchmark::State& state, bool portable) {
  static Keys k = make_keys(16);
  const auto a = action();
  const Digest m = shrincs::verifier::ShrincsVerifier::stateless_action_message_hash(k.commitment, a);
  static auto sig = *shrincs::signer::ShrincsSigner::sign_stateless_raw(k.stateless, m);
  const auto pk = k.public_key();
  run(state, portable, [] {}, [&] {
    if (!shrincs::dispatch::verify_stateless(k.commitment, pk, a, sig)) state.SkipWithError("rejected");
  });
}

void register_all() {
  for (bool portable : {false, true}) {
    const std::string sfx = portable ? "_portable" : "";
    benchmark::RegisterBenchmark(("permute_x8" + sfx).c_str(), BM_permute_x8, portable);
    benchmark::RegisterBenchmark(("keygen" + sfx).c_str(), BM_keygen, portable)
        ->Arg(16)->Arg(256)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(portable ? 1 : 3);
    benchmark::RegisterBenchmark(("import_4096" + sfx).c_str(), BM_import_4096, portable)
        ->Unit(benchmark::kMillisecond)->Iterations(portable ? 1 : 3);
    benchmark::RegisterBenchmark(("sign_stateful" + sfx).c_str(), BM_sign_stateful, portable)
        ->Arg(1)->Arg(4096)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("sign_stateless" + sfx).c_str(), BM_sign_stateless, portable)
        ->Unit(benchmark::kMillisecond)->Iterations(portable ? 1 : 3);
    benchmark::RegisterBenchmark(("verify_stateful" + sfx).c_str(), BM_verify_stateful, portable)
        ->Arg(1)->Arg(4096)->Unit(benchmark::kMicrosecond);
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
