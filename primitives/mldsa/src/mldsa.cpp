#include "mldsa/mldsa.hpp"

#include <atomic>
#include <cstring>

#include "internal.hpp"
#include "keccak/keccak.hpp"
#include "subtle/ct_marks.hpp"
#include "subtle/subtle.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa {

using namespace detail;

namespace {

// M' given in up to three pieces, absorbed in order without being joined.
struct MessageParts {
  std::span<const uint8_t> parts[3];
};

void absorb_parts(keccak::Shake256& xof, const MessageParts& m) noexcept {
  for (const auto& p : m.parts) xof.absorb(p.data(), p.size());
}

// mu = H(tr || M', 64).
// FIPS 204 Algorithm 7 (ML-DSA.Sign_internal), line 6; Algorithm 8, line 7.
void compute_mu(uint8_t mu[kMuLen], const uint8_t tr[kTrLen], const MessageParts& m) noexcept {
  keccak::Shake256 xof;
  xof.absorb(tr, kTrLen);
  absorb_parts(xof, m);
  xof.squeeze(mu, kMuLen);
}

struct KeygenState {
  uint8_t seeds[128];  // rho | rho' | K
  PolyVecL s1_hat;     // s1, packed, then transformed in place
  PolyVecK s2;
  Poly t;
  Poly t0;
};

struct SignState {
  uint8_t key[32];
  uint8_t rho_pp[64];
  uint8_t mu[kMuLen];
  // Two attempts are prepared at once where the Keccak lanes make that
  // cheap: [0] for this one, [1] for the next.
  uint8_t c_tilde[2][kCTildeLen];
  uint8_t w1_packed[2][kW1Len];
  PolyVecL s1_hat;
  PolyVecK s2_hat;
  PolyVecK t0_hat;
  Poly masks[2 * kL];  // y of the two attempts
  PolyVecL y_hat;
  PolyVecL z;
  PolyVecK w[2];  // A y, then r = w - c s2 in [0, q)
  PolyVecK h;
  Poly w1;
  Poly prod;
  Poly c;
};

// Eight Keccak lanes cost about as much as four, and four about as much as
// one, where the eight-lane kernel is native: there the masks and the
// challenge hashes of two attempts are computed together.
std::atomic<AttemptPairs> g_attempt_pairs{AttemptPairs::kAuto};
bool attempts_in_pairs() noexcept {
  switch (g_attempt_pairs.load(std::memory_order_relaxed)) {
    case AttemptPairs::kAlways: return true;
    case AttemptPairs::kNever: return false;
    case AttemptPairs::kAuto: break;
  }
  return keccak::active_backend() >= keccak::Backend::kAvx512f;
}

// w = A y (y in the normal domain) with |w| < q and w1Encode(HighBits(w)).
void commit_attempt(PolyVecK& w, uint8_t w1_packed[kW1Len], PolyVecL& y_hat, const Poly* y, const Matrix& a,
                    Poly& w1) noexcept {
  for (int j = 0; j < kL; ++j) {
    y_hat[j] = y[j];
    ntt(y_hat[j]);
  }
  for (int i = 0; i < kK; ++i) {
    row_mul(w[i], a[i], y_hat);
    invntt_tomont(w[i]);
    high_bits_poly(w1, w[i]);
    pack_w1(w1_packed + i * kW1PolyLen, w1);
  }
}

// c~ = H(mu || w1Encode(w1)) for `count` (1 or 2) attempts, two of them on
// the four-lane Keccak (the spare lanes repeat the first).
void challenge_hashes(SignState& st, unsigned count) noexcept {
  if (count == 1) {
    keccak::Shake256 xof;
    xof.absorb(st.mu, kMuLen);
    xof.absorb(st.w1_packed[0], kW1Len);
    xof.squeeze(st.c_tilde[0], kCTildeLen);
    return;
  }
  static_assert(kCTildeLen == 32);
  keccak::Shake256Lanes<4> xof;
  const uint8_t* in[4] = {st.w1_packed[0], st.w1_packed[1], st.w1_packed[0], st.w1_packed[0]};
  uint8_t out[4][32];
  xof.absorb_all(st.mu, kMuLen);
  xof.absorb(in, kW1Len);
  xof.final(out);
  std::memcpy(st.c_tilde[0], out[0], kCTildeLen);
  std::memcpy(st.c_tilde[1], out[1], kCTildeLen);
  zeroize::wipe(out, sizeof out);
}

// FIPS 204 Algorithm 7 (ML-DSA.Sign_internal).
SignStatus sign_parts(SecretKey sk, const MessageParts& m, Rnd rnd, std::span<uint8_t, kSignatureLen> sig,
                      uint32_t max_attempts) noexcept {
  // Every field is written before it is read.
  zeroize::Wiped<SignState> holder{zeroize::Wiped<SignState>::Uninitialised{}};
  SignState& st = holder.get();
  Matrix a;  // public: derived from rho

  const uint8_t* rho = sk.data();
  subtle::mark_public(rho, 32);  // rho is also the public key's first field
  std::memcpy(st.key, sk.data() + kSkKOffset, 32);
  // s1 and s2 decode only when every coefficient lies in [-eta, eta]; t0
  // decodes from any bytes. The verdict covers every coefficient and is the
  // one fact about the key that leaves this function: a key that does not
  // decode is refused before anything is signed with it.
  uint32_t undecodable = 0;
  for (int j = 0; j < kL; ++j) undecodable |= unpack_eta(st.s1_hat[j], sk.data() + kSkS1Offset + j * kEtaPolyLen);
  for (int i = 0; i < kK; ++i) undecodable |= unpack_eta(st.s2_hat[i], sk.data() + kSkS2Offset + i * kEtaPolyLen);
  if (subtle::public_value(subtle::black_box(static_cast<uint8_t>(undecodable))) != 0) {
    std::memset(sig.data(), 0, kSignatureLen);
    return SignStatus::MalformedKey;
  }
  for (int j = 0; j < kL; ++j) ntt(st.s1_hat[j]);
  for (int i = 0; i < kK; ++i) {
    ntt(st.s2_hat[i]);
    unpack_t0(st.t0_hat[i], sk.data() + kSkT0Offset + i * kT0PolyLen);
    ntt(st.t0_hat[i]);
  }
  expand_a(a, rho);
  compute_mu(st.mu, sk.data() + kSkTrOffset, m);
  {
    keccak::Shake256 xof;
    xof.absorb(st.key, 32);
    xof.absorb(rnd.data(), kRndLen);
    xof.absorb(st.mu, kMuLen);
    xof.squeeze(st.rho_pp, 64);
  }

  const bool pairs = attempts_in_pairs();
  for (uint32_t attempt = 0; attempt < max_attempts;) {
    // y = ExpandMask(rho'', kappa) for this attempt and, in pairs, the
    // next one, drawn only when there is a next attempt: kappa + 7 then
    // still fits in 16 bits.
    const auto kappa = static_cast<uint16_t>(attempt * kL);
    const unsigned count = pairs && attempt + 1 < max_attempts ? 2 : 1;
    if (count == 2)
      expand_mask_x8(st.masks, st.rho_pp, kappa);
    else
      expand_mask(st.masks, st.rho_pp, kappa);

    // w = A y; w1 = HighBits(w); c~ = H(mu || w1Encode(w1))
    for (unsigned u = 0; u < count; ++u)
      commit_attempt(st.w[u], st.w1_packed[u], st.y_hat, st.masks + u * kL, a, st.w1);
    challenge_hashes(st, count);

    for (unsigned u = 0; u < count; ++u, ++attempt) {
      const Poly* y = st.masks + u * kL;
      PolyVecK& w = st.w[u];
      sample_in_ball(st.c, st.c_tilde[u]);
      ntt(st.c);

      // The checks in turn; a failed one ends the attempt at once. Each
      // check examines every coefficient, and only its verdict leaves it:
      // each verdict is a rejection decision, public by design.
      // r = w - c s2; ||LowBits(r)|| < gamma2 - beta
      uint32_t reject = 0;
      for (int i = 0; i < kK; ++i) {
        pointwise_mont(st.prod, st.c, st.s2_hat[i]);
        invntt_tomont(st.prod);
        reject |= make_r(w[i], w[i], st.prod);
      }
      if (subtle::public_value(subtle::black_box(static_cast<uint8_t>(reject))) != 0) continue;

      // z = y + c s1; ||z|| < gamma1 - beta
      for (int j = 0; j < kL; ++j) {
        pointwise_mont(st.prod, st.c, st.s1_hat[j]);
        invntt_tomont(st.prod);
        reject |= make_z(st.z[j], y[j], st.prod);
      }
      if (subtle::public_value(subtle::black_box(static_cast<uint8_t>(reject))) != 0) {
        zeroize::wipe_object(st.z);
        continue;
      }

      // h = MakeHint(-c t0, r + c t0); ||c t0|| < gamma2; at most omega hints
      int32_t hints = 0;
      for (int i = 0; i < kK; ++i) {
        pointwise_mont(st.prod, st.c, st.t0_hat[i]);
        invntt_tomont(st.prod);
        reject |= make_hint(st.h[i], &hints, w[i], st.prod);
      }
      reject |= static_cast<uint32_t>(kOmega - hints) >> 31;
      if (subtle::public_value(subtle::black_box(static_cast<uint8_t>(reject))) != 0) {
        zeroize::wipe_object(st.z);
        zeroize::wipe_object(st.h);
        continue;
      }

      // Accepted: everything below goes into the public signature.
      subtle::mark_public(&st.h, sizeof st.h);
      std::memcpy(sig.data(), st.c_tilde[u], kCTildeLen);
      for (int j = 0; j < kL; ++j) pack_z(sig.data() + kSigZOffset + j * kZPolyLen, st.z[j]);
      pack_hint(sig.data() + kSigHintOffset, st.h);
      return SignStatus::Ok;
    }
  }
  std::memset(sig.data(), 0, kSignatureLen);
  return SignStatus::AttemptsExhausted;
}

// FIPS 204 Algorithm 8 (ML-DSA.Verify_internal).
bool verify_parts(PublicKey pk, const MessageParts& m, Signature sig) noexcept {
  PolyVecK h;
  if (!unpack_hint(h, sig.data() + kSigHintOffset)) return false;
  // The hint bytes follow z, so z decodes as a mask stream does.
  static_assert(kSignatureLen - kSigHintOffset >= 28);
  PolyVecL z;
  for (int j = 0; j < kL; ++j) unpack_mask(z[j], sig.data() + kSigZOffset + j * kZPolyLen);
  if (exceeds_norm(z.data(), kL, kGamma1 - kBeta) != 0) return false;

  // tr = H(pk, 64) and the matrix; where eight Keccak lanes cost about
  // one, the hash runs in a lane beside the matrix streams.
  uint8_t tr[kTrLen];
  Matrix a;
  if (keccak::active_backend() >= keccak::Backend::kAvx512f) {
    expand_a_hashing(a, pk.data(), pk.data(), kPublicKeyLen, tr, kTrLen);
  } else {
    keccak::shake256(pk.data(), kPublicKeyLen, tr, kTrLen);
    expand_a(a, pk.data());
  }
  uint8_t mu[kMuLen];
  compute_mu(mu, tr, m);

  Poly c;
  sample_in_ball_public(c, sig.data());
  ntt(c);
  for (auto& p : z) ntt(p);

  uint8_t w1_packed[kW1Len];
  Poly w, t1;
  for (int i = 0; i < kK; ++i) {
    unpack_t1(t1, pk.data() + 32 + i * kT1PolyLen);
    for (int n = 0; n < kN; ++n) t1.c[n] <<= kD;
    ntt(t1);
    pointwise_mont(t1, c, t1);
    row_mul(w, a[i], z);
    sub_reduce(w, t1);
    invntt_tomont(w);
    use_hint_poly(w, w, h[i]);
    pack_w1(w1_packed + i * kW1PolyLen, w);
  }
  uint8_t c_check[kCTildeLen];
  {
    keccak::Shake256 xof;
    xof.absorb(mu, kMuLen);
    xof.absorb(w1_packed, kW1Len);
    xof.squeeze(c_check, kCTildeLen);
  }
  return subtle::ct_eq(c_check, sig.data(), kCTildeLen).declassify();
}

}  // namespace

// FIPS 204 Algorithm 6 (ML-DSA.KeyGen_internal).
void keygen(Seed xi, std::span<uint8_t, kPublicKeyLen> pk, std::span<uint8_t, kSecretKeyLen> sk) noexcept {
  // Every field is written before it is read.
  zeroize::Wiped<KeygenState> holder{zeroize::Wiped<KeygenState>::Uninitialised{}};
  KeygenState& st = holder.get();
  {
    keccak::Shake256 xof;
    const uint8_t dims[2] = {kK, kL};
    xof.absorb(xi.data(), kSeedLen);
    xof.absorb(dims, 2);
    xof.squeeze(st.seeds, sizeof st.seeds);
  }
  const uint8_t* rho = st.seeds;
  subtle::mark_public(rho, 32);  // the public key's first field
  const uint8_t* rho_prime = st.seeds + 32;
  const uint8_t* key = st.seeds + 96;

  // s1 and s2 go into the secret key as they are drawn; the rows of t
  // then go out one at a time.
  expand_s(st.s1_hat, st.s2, rho_prime);
  for (int j = 0; j < kL; ++j) pack_eta(sk.data() + kSkS1Offset + j * kEtaPolyLen, st.s1_hat[j]);
  for (int i = 0; i < kK; ++i) pack_eta(sk.data() + kSkS2Offset + i * kEtaPolyLen, st.s2[i]);
  for (auto& p : st.s1_hat) ntt(p);
  Matrix a;
  expand_a(a, rho);

  std::memcpy(pk.data(), rho, 32);
  Poly t1;
  for (int i = 0; i < kK; ++i) {
    row_mul(st.t, a[i], st.s1_hat);
    invntt_tomont(st.t);
    power2round_poly(t1, st.t0, st.t, st.s2[i]);
    pack_t1(pk.data() + 32 + i * kT1PolyLen, t1);
    pack_t0(sk.data() + kSkT0Offset + i * kT0PolyLen, st.t0);
  }

  std::memcpy(sk.data(), rho, 32);
  std::memcpy(sk.data() + kSkKOffset, key, 32);
  keccak::shake256(pk.data(), kPublicKeyLen, sk.data() + kSkTrOffset, kTrLen);
}

// FIPS 204 Algorithm 2 (ML-DSA.Sign), with rnd given.
SignStatus sign(SecretKey sk, std::span<const uint8_t> msg, std::span<const uint8_t> ctx, Rnd rnd,
                std::span<uint8_t, kSignatureLen> sig) noexcept {
  if (ctx.size() > kMaxContextLen) return SignStatus::ContextTooLong;
  const uint8_t prefix[2] = {0x00, static_cast<uint8_t>(ctx.size())};
  return sign_parts(sk, MessageParts{{std::span<const uint8_t>(prefix), ctx, msg}}, rnd, sig, kMaxSignAttempts);
}

// FIPS 204 Algorithm 7 (ML-DSA.Sign_internal).
SignStatus sign_internal(SecretKey sk, std::span<const uint8_t> m_prime, Rnd rnd,
                         std::span<uint8_t, kSignatureLen> sig) noexcept {
  return sign_parts(sk, MessageParts{{m_prime, {}, {}}}, rnd, sig, kMaxSignAttempts);
}

namespace detail {
void set_attempt_pairs(AttemptPairs mode) noexcept { g_attempt_pairs.store(mode, std::memory_order_relaxed); }

SignStatus sign_internal_limited(SecretKey sk, std::span<const uint8_t> m_prime, Rnd rnd,
                                 std::span<uint8_t, kSignatureLen> sig, uint32_t max_attempts) noexcept {
  const uint32_t limit = max_attempts < kMaxSignAttempts ? max_attempts : kMaxSignAttempts;
  return sign_parts(sk, MessageParts{{m_prime, {}, {}}}, rnd, sig, limit);
}
}  // namespace detail

// FIPS 204 Algorithm 3 (ML-DSA.Verify).
bool verify(PublicKey pk, std::span<const uint8_t> msg, std::span<const uint8_t> ctx, Signature sig) noexcept {
  if (ctx.size() > kMaxContextLen) return false;
  const uint8_t prefix[2] = {0x00, static_cast<uint8_t>(ctx.size())};
  return verify_parts(pk, MessageParts{{std::span<const uint8_t>(prefix), ctx, msg}}, sig);
}

// FIPS 204 Algorithm 8 (ML-DSA.Verify_internal).
bool verify_internal(PublicKey pk, std::span<const uint8_t> m_prime, Signature sig) noexcept {
  return verify_parts(pk, MessageParts{{m_prime, {}, {}}}, sig);
}

}  // namespace mldsa
