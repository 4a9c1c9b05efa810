// sr25519 signing, verification and VRF evaluation/verification, then the
// parts of one verification and one VRF verification taken apart: libdecaf's
// two double-scalar multiplications alone, one point decoding and encoding,
// the transcript work, the hash to the group, and libsodium's Ed25519
// verification in the same program as the yardstick.
#include <benchmark/benchmark.h>
#include <decaf/point_255.h>
#include <sodium.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "merlin/merlin.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/classical/sr25519/vartime.hpp"
#include "valtorimesca/suites.hpp"

namespace {

using valtorimesca::classical::sr25519::OsRng;
using valtorimesca::classical::sr25519::Sr25519;

struct Fixture {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
  std::vector<uint8_t> msg = std::vector<uint8_t>(64, 0x5a);
  std::span<const uint8_t> label = valtorimesca::suites::label_bytes(valtorimesca::suites::kLabelSrMl44);
  std::array<uint8_t, 64> sig{};
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 64> proof{};
  Fixture() {
    std::array<uint8_t, 32> seed{};
    seed.fill(0x11);
    (void)Sr25519::derive(seed, sk, pk);
    (void)Sr25519::sign_deterministic(sk, msg, {}, label, sig);
    (void)Sr25519::vrf_evaluate_deterministic(sk, label, msg, pre, proof);
  }
};

const Fixture& fx() {
  static const Fixture f;
  return f;
}

void BM_Sign(benchmark::State& st) {
  const auto& f = fx();
  OsRng os;
  std::array<uint8_t, 64> out{};
  for (auto _ : st) {
    (void)Sr25519::sign(f.sk, f.msg, f.label, os, out);
    benchmark::DoNotOptimize(out);
  }
}

void BM_SignDeterministic(benchmark::State& st) {
  const auto& f = fx();
  std::array<uint8_t, 64> out{};
  for (auto _ : st) {
    (void)Sr25519::sign_deterministic(f.sk, f.msg, {}, f.label, out);
    benchmark::DoNotOptimize(out);
  }
}

void BM_Verify(benchmark::State& st) {
  const auto& f = fx();
  for (auto _ : st) benchmark::DoNotOptimize(Sr25519::verify(f.pk, f.msg, f.label, f.sig).unwrap_u8());
}

void BM_VrfProve(benchmark::State& st) {
  const auto& f = fx();
  OsRng os;
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 64> proof{};
  for (auto _ : st) {
    (void)Sr25519::vrf_evaluate(f.sk, f.label, f.msg, os, pre, proof);
    benchmark::DoNotOptimize(proof);
  }
}

void BM_VrfVerify(benchmark::State& st) {
  const auto& f = fx();
  for (auto _ : st) benchmark::DoNotOptimize(Sr25519::vrf_verify(f.pk, f.label, f.msg, f.pre, f.proof).unwrap_u8());
}

// --- The parts of one verification ---

using valtorimesca::classical::sr25519::vartime::PublicPoint;

// The operands of the verification equations, decoded once: libdecaf's own
// types for the bare multiplications, PublicPoint for the library's wrappers.
struct Operands {
  decaf_255_point_t a{}, h{};
  decaf_255_scalar_t s{}, k{};
  std::array<uint8_t, 32> s_bytes{}, k_bytes{}, h_enc{};
  Operands() {
    const auto& f = fx();
    std::array<uint8_t, 64> wide{};
    for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<uint8_t>(i * 13 + 5);
    crypto_core_ristretto255_scalar_reduce(s_bytes.data(), wide.data());
    wide[0] ^= 1;
    crypto_core_ristretto255_scalar_reduce(k_bytes.data(), wide.data());
    crypto_core_ristretto255_from_hash(h_enc.data(), wide.data());
    if (decaf_255_point_decode(a, f.pk.data(), DECAF_FALSE) != DECAF_SUCCESS ||
        decaf_255_point_decode(h, h_enc.data(), DECAF_FALSE) != DECAF_SUCCESS ||
        decaf_255_scalar_decode(s, s_bytes.data()) != DECAF_SUCCESS ||
        decaf_255_scalar_decode(k, k_bytes.data()) != DECAF_SUCCESS)
      std::abort();
  }
};

const Operands& ops() {
  static const Operands o;
  return o;
}

// s*B + k*A, libdecaf's variable-time base double-scalar multiplication on
// decoded operands: the whole arithmetic of one signature verification.
void BM_PartDecafBaseDoubleMul(benchmark::State& st) {
  const auto& o = ops();
  decaf_255_point_t r;
  for (auto _ : st) {
    decaf_255_base_double_scalarmul_non_secret(r, o.s, o.a, o.k);
    benchmark::DoNotOptimize(r);
  }
}

// s*A + k*H by libdecaf's two-point double multiplication, which runs in
// constant time, on decoded operands: the comparison for double_mul below.
void BM_PartDecafDoubleMul(benchmark::State& st) {
  const auto& o = ops();
  decaf_255_point_t r;
  for (auto _ : st) {
    decaf_255_point_double_scalarmul(r, o.a, o.s, o.h, o.k);
    benchmark::DoNotOptimize(r);
  }
}

// The same two through the library's wrapper (scalar decoding and copies
// of the points included); double_mul is the variable-time loop over
// libdecaf's point addition and doubling.
void BM_PartBaseDoubleMul(benchmark::State& st) {
  const auto& o = ops();
  const auto a = PublicPoint::decode(fx().pk.data());
  for (auto _ : st) benchmark::DoNotOptimize(PublicPoint::base_double_mul(o.s_bytes.data(), *a, o.k_bytes.data()));
}

void BM_PartDoubleMul(benchmark::State& st) {
  const auto& o = ops();
  const auto a = PublicPoint::decode(fx().pk.data());
  const auto h = PublicPoint::decode(o.h_enc.data());
  for (auto _ : st) benchmark::DoNotOptimize(PublicPoint::double_mul(*a, o.s_bytes.data(), *h, o.k_bytes.data()));
}

void BM_PartDecode(benchmark::State& st) {
  const auto& f = fx();
  for (auto _ : st) benchmark::DoNotOptimize(PublicPoint::decode(f.pk.data()));
}

void BM_PartEncode(benchmark::State& st) {
  const auto a = PublicPoint::decode(fx().pk.data());
  std::array<uint8_t, 32> out{};
  for (auto _ : st) {
    a->encode(out.data());
    benchmark::DoNotOptimize(out);
  }
}

// 64 bytes to a point: libsodium gives the encoding, libdecaf the point.
void BM_PartHashToPointSodium(benchmark::State& st) {
  std::array<uint8_t, 64> wide{};
  wide.fill(0x3c);
  std::array<uint8_t, 32> out{};
  for (auto _ : st) {
    crypto_core_ristretto255_from_hash(out.data(), wide.data());
    benchmark::DoNotOptimize(out);
  }
}

void BM_PartHashToPointDecaf(benchmark::State& st) {
  std::array<uint8_t, 64> wide{};
  wide.fill(0x3c);
  decaf_255_point_t p;
  for (auto _ : st) {
    decaf_255_point_from_hash_uniform(p, wide.data());
    benchmark::DoNotOptimize(p);
  }
}

merlin::Transcript signing_transcript(const Fixture& f) {
  merlin::Transcript t("SigningContext");
  t.append_message("", f.label);
  t.append_message("sign-bytes", f.msg);
  return t;
}

// The transcript of one signature verification: the signing context, the
// protocol name, the key and R, and the 64-byte challenge reduced.
void BM_PartVerifyTranscript(benchmark::State& st) {
  const auto& f = fx();
  for (auto _ : st) {
    merlin::Transcript t = signing_transcript(f);
    t.append_message("proto-name", merlin::bytes_of("Schnorr-sig"));
    t.append_message("sign:pk", f.pk);
    t.append_message("sign:R", std::span<const uint8_t>(f.sig.data(), 32));
    std::array<uint8_t, 64> wide{};
    t.challenge_bytes("sign:c", wide);
    std::array<uint8_t, 32> k{};
    crypto_core_ristretto255_scalar_reduce(k.data(), wide.data());
    benchmark::DoNotOptimize(k);
  }
}

// The transcripts of one VRF verification: the input hash's 64 bytes, then
// the proof transcript with its six commitments and the challenge.
void BM_PartVrfTranscripts(benchmark::State& st) {
  const auto& f = fx();
  const auto& o = ops();
  for (auto _ : st) {
    merlin::Transcript t = signing_transcript(f);
    t.append_message("vrf-nm-pk", f.pk);
    std::array<uint8_t, 64> wide{};
    t.challenge_bytes("VRFHash", wide);
    benchmark::DoNotOptimize(wide);
    merlin::Transcript e("VRF");
    e.append_message("proto-name", merlin::bytes_of("DLEQProof"));
    e.append_message("vrf:h", o.h_enc);
    e.append_message("vrf:R=g^r", f.pk);
    e.append_message("vrf:h^r", o.h_enc);
    e.append_message("vrf:pk", f.pk);
    e.append_message("vrf:h^sk", f.pre);
    e.challenge_bytes("prove", wide);
    std::array<uint8_t, 32> c{};
    crypto_core_ristretto255_scalar_reduce(c.data(), wide.data());
    benchmark::DoNotOptimize(c);
  }
}

// libsodium's Ed25519 verification (one decoding, one double-scalar
// multiplication, one encoding, SHA-512), as the yardstick in this program.
void BM_LibsodiumEd25519Verify(benchmark::State& st) {
  std::array<uint8_t, 32> seed{};
  seed.fill(0x11);
  std::array<uint8_t, 32> pk{};
  std::array<uint8_t, 64> sk{}, sig{};
  const auto& f = fx();
  if (crypto_sign_ed25519_seed_keypair(pk.data(), sk.data(), seed.data()) != 0 ||
      crypto_sign_ed25519_detached(sig.data(), nullptr, f.msg.data(), f.msg.size(), sk.data()) != 0)
    std::abort();
  for (auto _ : st)
    benchmark::DoNotOptimize(crypto_sign_ed25519_verify_detached(sig.data(), f.msg.data(), f.msg.size(), pk.data()));
}

BENCHMARK(BM_Sign);
BENCHMARK(BM_SignDeterministic);
BENCHMARK(BM_Verify);
BENCHMARK(BM_VrfProve);
BENCHMARK(BM_VrfVerify);
BENCHMARK(BM_PartDecafBaseDoubleMul);
BENCHMARK(BM_PartDecafDoubleMul);
BENCHMARK(BM_PartBaseDoubleMul);
BENCHMARK(BM_PartDoubleMul);
BENCHMARK(BM_PartDecode);
BENCHMARK(BM_PartEncode);
BENCHMARK(BM_PartHashToPointSodium);
BENCHMARK(BM_PartHashToPointDecaf);
BENCHMARK(BM_PartVerifyTranscript);
BENCHMARK(BM_PartVrfTranscripts);
BENCHMARK(BM_LibsodiumEd25519Verify);

}  // namespace

BENCHMARK_MAIN();
