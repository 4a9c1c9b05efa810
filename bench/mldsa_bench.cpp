// ML-DSA-44: key generation, signing (over many different messages, so the
// varying number of rejection attempts averages out; read the median) and
// verification, for the primitive and for the core component.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "internal.hpp"
#include "keccak/keccak.hpp"
#include "mldsa/mldsa.hpp"
#include "valtorimesca/pq/mldsa44.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

struct Fixture {
  Bytes pk = Bytes(mldsa::kPublicKeyLen), sk = Bytes(mldsa::kSecretKeyLen);
  std::vector<Bytes> msgs;
  std::vector<Bytes> sigs;
  Fixture() {
    std::array<uint8_t, 32> xi{};
    for (size_t i = 0; i < xi.size(); ++i) xi[i] = static_cast<uint8_t>(i * 7 + 1);
    mldsa::keygen(xi, std::span<uint8_t, 1312>(pk), std::span<uint8_t, 2560>(sk));
    const std::array<uint8_t, 32> rnd{};
    for (uint32_t i = 0; i < 256; ++i) {
      Bytes m(64);
      for (size_t j = 0; j < m.size(); ++j) m[j] = static_cast<uint8_t>(i * 131 + j * 17);
      Bytes s(mldsa::kSignatureLen);
      (void)mldsa::sign(mldsa::SecretKey(sk.data(), 2560), m, {}, rnd, std::span<uint8_t, 2420>(s));
      msgs.push_back(std::move(m));
      sigs.push_back(std::move(s));
    }
  }
};

const Fixture& fixture() {
  static const Fixture f;
  return f;
}

// Arg 0: the code the processor selects; arg 1: the portable arithmetic and
// the portable Keccak lanes. Restores the selection when it goes.
class Path {
 public:
  explicit Path(benchmark::State& state) {
    const bool portable = state.range(0) == 1;
    mldsa::detail::force_portable_arith(portable);
    keccak::force_portable(portable);
    state.SetLabel(std::string(mldsa::detail::arith_backend()) + "/keccak-x8 " + keccak::x8_backend());
  }
  ~Path() {
    mldsa::detail::force_portable_arith(false);
    keccak::force_portable(false);
  }
};

void BM_Keygen(benchmark::State& state) {
  const Path path(state);
  std::array<uint8_t, 32> xi{};
  Bytes pk(mldsa::kPublicKeyLen), sk(mldsa::kSecretKeyLen);
  for (auto _ : state) {
    mldsa::keygen(xi, std::span<uint8_t, 1312>(pk), std::span<uint8_t, 2560>(sk));
    ++xi[0];
    benchmark::DoNotOptimize(pk.data());
  }
}
BENCHMARK(BM_Keygen)->Arg(0)->Arg(1)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_Sign(benchmark::State& state) {
  const Fixture& f = fixture();
  const Path path(state);
  std::array<uint8_t, 32> rnd{};
  Bytes sig(mldsa::kSignatureLen);
  size_t i = 0;
  for (auto _ : state) {
    rnd[0] = static_cast<uint8_t>(i);
    (void)mldsa::sign(mldsa::SecretKey(f.sk.data(), 2560), f.msgs[i % f.msgs.size()], {}, rnd,
                      std::span<uint8_t, 2420>(sig));
    ++i;
    benchmark::DoNotOptimize(sig.data());
  }
}
BENCHMARK(BM_Sign)->Arg(0)->Arg(1)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_Verify(benchmark::State& state) {
  const Fixture& f = fixture();
  const Path path(state);
  size_t i = 0;
  for (auto _ : state) {
    const size_t k = i++ % f.msgs.size();
    bool ok =
        mldsa::verify(mldsa::PublicKey(f.pk.data(), 1312), f.msgs[k], {}, mldsa::Signature(f.sigs[k].data(), 2420));
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_Verify)->Arg(0)->Arg(1)->Repetitions(9)->ReportAggregatesOnly(true);

// The transforms alone, on the form the processor selects and the portable one.
void BM_Ntt(benchmark::State& state) {
  const Path path(state);
  mldsa::detail::Poly src{};
  for (int i = 0; i < mldsa::detail::kN; ++i) src.c[i] = i * 977 % 8380417 - 4190208;
  for (auto _ : state) {
    mldsa::detail::Poly p = src;
    mldsa::detail::ntt(p);
    mldsa::detail::invntt_tomont(p);
    benchmark::DoNotOptimize(p.c);
  }
}
BENCHMARK(BM_Ntt)->Arg(0)->Arg(1);

void BM_ComponentSignHedged(benchmark::State& state) {
  const Fixture& f = fixture();
  valtorimesca::component::OsRng rng;
  Bytes sig(mldsa::kSignatureLen);
  size_t i = 0;
  for (auto _ : state) {
    auto st = valtorimesca::pq::mldsa44::MlDsa44::sign(f.sk, f.msgs[i++ % f.msgs.size()], rng, sig);
    benchmark::DoNotOptimize(st);
  }
}
BENCHMARK(BM_ComponentSignHedged)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
