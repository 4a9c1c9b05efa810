// Parameters, polynomial arithmetic, sampling and encodings of ML-DSA-44.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "keccak/keccak.hpp"
#include "mldsa/mldsa.hpp"

namespace mldsa::detail {

inline constexpr int32_t kQ = 8380417;
inline constexpr int kN = 256;
inline constexpr int kK = 4;
inline constexpr int kL = 4;
inline constexpr int32_t kEta = 2;
inline constexpr int kTau = 39;
inline constexpr int32_t kBeta = kTau * kEta;
inline constexpr int32_t kGamma1 = 1 << 17;
inline constexpr int32_t kGamma2 = (kQ - 1) / 88;
inline constexpr int kOmega = 80;
inline constexpr int kD = 13;
// kappa + r must fit the 16-bit counter of ExpandMask: kappa = 4 * attempt
// stays at or below 65532.
inline constexpr uint32_t kMaxSignAttempts = 0x10000 / kL;

inline constexpr size_t kCTildeLen = 32;  // lambda / 4
inline constexpr size_t kTrLen = 64;
inline constexpr size_t kMuLen = 64;
inline constexpr size_t kT1PolyLen = 320;  // 10 bits per coefficient
inline constexpr size_t kT0PolyLen = 416;  // 13 bits
inline constexpr size_t kEtaPolyLen = 96;  // 3 bits
inline constexpr size_t kZPolyLen = 576;   // 18 bits
inline constexpr size_t kW1PolyLen = 192;  // 6 bits
inline constexpr size_t kW1Len = kK * kW1PolyLen;

// Secret-key layout: rho | K | tr | s1 | s2 | t0.
inline constexpr size_t kSkKOffset = 32;
inline constexpr size_t kSkTrOffset = 64;
inline constexpr size_t kSkS1Offset = 128;
inline constexpr size_t kSkS2Offset = kSkS1Offset + kL * kEtaPolyLen;
inline constexpr size_t kSkT0Offset = kSkS2Offset + kK * kEtaPolyLen;
// Signature layout: c~ | z | hint indices (omega) | hint counts (k).
inline constexpr size_t kSigZOffset = kCTildeLen;
inline constexpr size_t kSigHintOffset = kSigZOffset + kL * kZPolyLen;
// The layouts fill the encodings exactly.
static_assert(kSkT0Offset + kK * kT0PolyLen == kSecretKeyLen && 32 + kK * kT1PolyLen == kPublicKeyLen &&
              kSigHintOffset + kOmega + kK == kSignatureLen);

struct Poly {
  alignas(64) int32_t c[kN];
};
using PolyVecL = std::array<Poly, kL>;
using PolyVecK = std::array<Poly, kK>;
using Matrix = std::array<PolyVecL, kK>;  // row-major: A[i][j], i < k, j < l

// Little-endian word order, the Keccak library's.
using keccak::le64;

// ---- arithmetic (arith.cpp) ----

inline constexpr uint32_t kQInv = 58728449u;  // q^-1 mod 2^32
// a * 2^-32 mod q, result in (-q, q), for |a| < 2^31 * q.
// FIPS 204 Algorithm 49 (MontgomeryReduce).
inline int32_t mont_reduce(int64_t a) noexcept {
  const int32_t t = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(a)) * kQInv);
  return static_cast<int32_t>((a - static_cast<int64_t>(t) * kQ) >> 32);
}
// A representative in [-6283008, 6283008] of a, for a <= 2^31 - 2^22 - 1.
inline int32_t reduce32(int32_t a) noexcept {
  const int32_t t = (a + (1 << 22)) >> 23;
  return a - t * kQ;
}
// Adds q when a is negative.
inline int32_t caddq(int32_t a) noexcept { return a + ((a >> 31) & kQ); }
// The representative in [0, q).
inline int32_t freeze(int32_t a) noexcept { return caddq(reduce32(a)); }
// For a in [0, q): the representative in (-(q-1)/2, (q-1)/2].
inline int32_t center(int32_t a) noexcept { return a - ((((kQ - 1) / 2 - a) >> 31) & kQ); }

// Forward NTT in place (bit-reversed output order). Input |a| < q, output
// |a| < 9q.
void ntt(Poly& a) noexcept;
// Inverse NTT in place, multiplying by 2^32 (undoes one Montgomery factor of
// the pointwise products). Input |a| < q, output |a| < q.
void invntt_tomont(Poly& a) noexcept;
// The portable, AVX2 and AVX-512 forms behind ntt() and invntt_tomont(); a
// vector form runs only where the processor has it. All give identical
// results.
void ntt_portable(Poly& a) noexcept;
void invntt_portable(Poly& a) noexcept;
void ntt_avx2(Poly& a, const int32_t* zetas) noexcept;
void invntt_avx2(Poly& a, const int32_t* zetas, int32_t scale) noexcept;
void ntt_avx512(Poly& a, const int32_t* zetas) noexcept;
void invntt_avx512(Poly& a, const int32_t* zetas, int32_t scale) noexcept;

// The forms of the arithmetic, in increasing order.
enum class Arith : uint8_t { kPortable = 0, kAvx2 = 1, kAvx512 = 2 };
// The widest form this processor runs (AVX-512 needs AVX-512F with the
// register state saved by the operating system, and BMI2).
Arith best_arith() noexcept;
// Caps the form the transforms and every polynomial kernel below use at
// `max` (tests, benchmarks); the effective one is the lower of `max` and
// best_arith(). cap_arith(Arith::kAvx512) lifts the cap.
void cap_arith(Arith max) noexcept;
// cap_arith(kPortable) when on, else lifts the cap.
void force_portable_arith(bool on) noexcept;
// The form the transforms and kernels use now.
Arith active_arith() noexcept;
// "avx512", "avx2" or "portable": the form the transforms and kernels use now.
const char* arith_backend() noexcept;
// The twiddle table and the inverse scaling constant the transforms use.
const int32_t* zetas_for_tests() noexcept;
int32_t inv_scale_for_tests() noexcept;

// Polynomial kernels. Each exists in a portable, an AVX2 and an AVX-512 form
// with identical results; the unqualified ones pick the form at run time. The
// flags they return are 0 or 1 and are computed over every coefficient.
#define MLDSA_POLY_KERNELS                                                                \
  /* r = a o b * 2^-32 in the NTT domain; |a|, |b| < 9q. */                               \
  void pointwise_mont(Poly& r, const Poly& a, const Poly& b) noexcept;                    \
  /* r = sum_j row[j] o v[j] * 2^-32; |v| < 9q, |row| < q. */                             \
  void row_mul(Poly& r, const PolyVecL& row, const PolyVecL& v) noexcept;                 \
  /* t1, t0 = Power2Round(t + s) for |t| < q, |s| small. */                               \
  void power2round_poly(Poly& t1, Poly& t0, const Poly& t, const Poly& s) noexcept;       \
  /* w = w mod+ q (|w| < q on entry); w1 = HighBits(w). */                                \
  void high_bits_poly(Poly& w1, Poly& w) noexcept;                                        \
  /* z = y + cs1 centred; 1 when ||z|| >= gamma1 - beta. */                               \
  uint32_t make_z(Poly& z, const Poly& y, const Poly& cs1) noexcept;                      \
  /* r = (w - cs2) mod+ q; 1 when ||LowBits(r)|| >= gamma2 - beta. */                     \
  uint32_t make_r(Poly& r, const Poly& w, const Poly& cs2) noexcept;                      \
  /* h = MakeHint(-ct0, r + ct0), *count += its ones; 1 when ||ct0|| >= gamma2. */        \
  uint32_t make_hint(Poly& h, int32_t* count, const Poly& r, const Poly& ct0) noexcept;   \
  /* w = reduce32(w - b); |w|, |b| < 9q. */                                               \
  void sub_reduce(Poly& w, const Poly& b) noexcept;                                       \
  /* w1 = UseHint(h, w mod+ q), |w| < q. */                                               \
  void use_hint_poly(Poly& w1, const Poly& w, const Poly& h) noexcept;                    \
  /* 1 when some centred coefficient of polys[0..count) has |c| >= bound. */              \
  uint32_t exceeds_norm(const Poly* polys, size_t count, int32_t bound) noexcept;         \
  /* The shuffle of SampleInBall: for t < tau, with i = 256 - tau + t, c[i] = c[j[t]], */ \
  /* then c[j[t]] = -1 if bit t of signs is set, else 1, from c = 0; no memory access */  \
  /* depends on j. */                                                                     \
  void place_signs(Poly& c, const uint8_t j[kTau], uint64_t signs) noexcept;              \
  /* RejNTTPoly's parse: appends the 3-byte candidates of buf[0..len) that are */         \
  /* below q to a from position n, until a is full; returns the new count. */             \
  int rej_ntt_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept;            \
  /* RejBoundedPoly's parse for eta = 2: appends eta - (h mod 5) for the half-bytes */    \
  /* h < 15 of buf[0..len), low half first, until a is full; returns the new count. */    \
  /* Only which half-bytes are dropped (a sampler redraw) steers the code. */             \
  int rej_eta_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept;            \
  /* unpack_z of a mask stream: in[0..576) holds the packed mask and the buffer */        \
  /* goes on for at least 28 bytes more (read, not used). */                              \
  void unpack_mask(Poly& y, const uint8_t* in) noexcept;

MLDSA_POLY_KERNELS
namespace portable {
MLDSA_POLY_KERNELS
}
namespace avx2 {
MLDSA_POLY_KERNELS
}
namespace avx512 {
MLDSA_POLY_KERNELS
}
#undef MLDSA_POLY_KERNELS

// Whether the processor also has AVX-512BW (byte-wide AVX-512), which the
// AVX-512 form of place_signs uses where present (else the AVX2 one).
bool avx512bw_usable() noexcept;
namespace avx512bw {
void place_signs(Poly& c, const uint8_t j[kTau], uint64_t signs) noexcept;
}

// Power2Round for a in [0, q): a = a1 * 2^d + a0, a0 in (-2^12, 2^12].
// FIPS 204 Algorithm 35 (Power2Round).
inline void power2round(int32_t a, int32_t& a1, int32_t& a0) noexcept {
  a1 = (a + (1 << (kD - 1)) - 1) >> kD;
  a0 = a - (a1 << kD);
}

// Decompose for a in [0, q) (FIPS 204 Algorithm 36).
inline void decompose(int32_t a, int32_t& a1, int32_t& a0) noexcept {
  // a1 = floor((a + gamma2 - 1) / (2 gamma2)), with 2 gamma2 = 2^11 * 93 and
  // the division by 93 done as a multiplication (exact for these inputs).
  const uint32_t x = static_cast<uint32_t>(a + kGamma2 - 1) >> 11;
  int32_t r1 = static_cast<int32_t>((x * 180401u) >> 24);
  int32_t r0 = a - r1 * 2 * kGamma2;
  // r1 = 44 means a - r0 = q - 1: then r1 = 0 and r0 = r0 - 1.
  const int32_t wrap = (43 - r1) >> 31;  // -1 when r1 == 44
  r1 &= ~wrap;
  r0 += wrap;
  a1 = r1;
  a0 = r0;
}

// UseHint (Algorithm 40) for a in [0, q), hint 0 or 1. Verification only:
// it branches on its (public) inputs.
inline int32_t use_hint(int32_t a, int32_t hint) noexcept {
  int32_t a1, a0;
  decompose(a, a1, a0);
  if (hint == 0) return a1;
  if (a0 > 0) return a1 == 43 ? 0 : a1 + 1;
  return a1 == 0 ? 43 : a1 - 1;
}

// 1 when the centred value a has |a| >= bound, else 0, without branching.
inline uint32_t over_bound(int32_t a, int32_t bound) noexcept {
  const int32_t m = a >> 31;
  const int32_t abs = (a ^ m) - m;
  return static_cast<uint32_t>(bound - 1 - abs) >> 31;
}

// ---- sampling (sample.cpp) ----

// ExpandA(rho): the matrix in the NTT domain, coefficients in [0, q).
void expand_a(Matrix& a, const uint8_t rho[32]) noexcept;
// ExpandA(rho) with SHAKE256(msg, digest_len) computed in a spare Keccak
// lane alongside, for a message of at most 1360 bytes and digest_len <= 136.
void expand_a_hashing(Matrix& a, const uint8_t rho[32], const uint8_t* msg, size_t len, uint8_t* digest,
                      size_t digest_len) noexcept;
// ExpandS(rho'): s1 and s2 with coefficients in [-eta, eta].
void expand_s(PolyVecL& s1, PolyVecK& s2, const uint8_t rho_prime[64]) noexcept;
// ExpandMask(rho'', kappa).
void expand_mask(Poly y[kL], const uint8_t rho_pp[64], uint16_t kappa) noexcept;
// The masks of two attempts at once: y[0..4) for kappa, y[4..8) for kappa + 4.
void expand_mask_x8(Poly y[2 * kL], const uint8_t rho_pp[64], uint16_t kappa) noexcept;
// SampleInBall(c~): coefficients in {-1, 0, 1}. The placement of the signs
// runs without secret-dependent memory access.
void sample_in_ball(Poly& c, const uint8_t c_tilde[kCTildeLen]) noexcept;
// The same polynomial for a public c~ (verification), placed directly.
void sample_in_ball_public(Poly& c, const uint8_t c_tilde[kCTildeLen]) noexcept;

// ---- encodings (encode.cpp) ----

// The fixed-width encodings of t1, t0, s and w1 and the hint packing exist in a portable and an
// AVX-512 form with identical bytes; the unqualified ones pick the form at
// run time.
#define MLDSA_ENCODINGS                                                          \
  void pack_t1(uint8_t out[kT1PolyLen], const Poly& t1) noexcept;                \
  void unpack_t1(Poly& t1, const uint8_t in[kT1PolyLen]) noexcept;               \
  void pack_t0(uint8_t out[kT0PolyLen], const Poly& t0) noexcept;                \
  void unpack_t0(Poly& t0, const uint8_t in[kT0PolyLen]) noexcept;               \
  void pack_eta(uint8_t out[kEtaPolyLen], const Poly& s) noexcept;               \
  /* Answers 1 when some packed value lies outside [0, 2 eta] (the polynomial */ \
  /* does not decode), else 0; the coefficients are written either way. */       \
  uint32_t unpack_eta(Poly& s, const uint8_t in[kEtaPolyLen]) noexcept;          \
  void pack_w1(uint8_t out[kW1PolyLen], const Poly& w1) noexcept;                \
  /* HintBitPack: h has 0/1 coefficients, at most omega ones in total. */        \
  void pack_hint(uint8_t out[kOmega + kK], const PolyVecK& h) noexcept;

MLDSA_ENCODINGS
namespace portable {
MLDSA_ENCODINGS
}
namespace avx512 {
MLDSA_ENCODINGS
}
#undef MLDSA_ENCODINGS

void pack_z(uint8_t out[kZPolyLen], const Poly& z) noexcept;
void unpack_z(Poly& z, const uint8_t in[kZPolyLen]) noexcept;
// HintBitUnpack; false for a malformed encoding.
bool unpack_hint(PolyVecK& h, const uint8_t in[kOmega + kK]) noexcept;

// ---- signing with a chosen attempt bound (mldsa.cpp) ----

// Whether signing prepares its rejection attempts two at a time (masks on
// eight Keccak lanes, challenge hashes on four): by default where the
// eight-lane kernel is native; tests and the constant-time check may force
// either way. The signatures are the same.
enum class AttemptPairs : uint8_t { kAuto, kAlways, kNever };
void set_attempt_pairs(AttemptPairs mode) noexcept;

SignStatus sign_internal_limited(SecretKey sk, std::span<const uint8_t> m_prime, Rnd rnd,
                                 std::span<uint8_t, kSignatureLen> sig, uint32_t max_attempts) noexcept;

}  // namespace mldsa::detail
