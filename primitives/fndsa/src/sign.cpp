// Signing keys and signing. The key keeps the basis B = [[g, -f], [G, -F]]
// in FFT form; a signature is a short s = (s1, s2) with s1 + s2 h = c mod q
// for the hashed point c, obtained as (c, 0) - z B with z drawn by fast
// Fourier sampling close to (c, 0) B^-1.
#include <cstring>
#include <memory>

#include "ffsampling.hpp"
#include "internal.hpp"
#include "subtle/ct_marks.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa {

using namespace detail;

namespace {

constexpr double kInvQ = scaled(6004310871091074, -66);  // 1/q
constexpr unsigned kMaxAttempts = 27;                    // counter values 0 .. 26

}  // namespace

// Nothing secret is held before decode(), so only the public parts start
// cleared; the destructor and every refusal wipe all of it.
SigningKey::SigningKey() noexcept {
  std::memset(vk_, 0, sizeof vk_);
  std::memset(hashed_vk_, 0, sizeof hashed_vk_);
}

SigningKey::~SigningKey() { wipe(); }

void SigningKey::wipe() noexcept {
  zeroize::wipe(f_, sizeof f_);
  zeroize::wipe(g_, sizeof g_);
  zeroize::wipe(F_, sizeof F_);
  zeroize::wipe(G_, sizeof G_);
  zeroize::wipe(basis_, sizeof basis_);
  zeroize::wipe(vk_, sizeof vk_);
  zeroize::wipe(hashed_vk_, sizeof hashed_vk_);
  zeroize::wipe(hashed_sk_, sizeof hashed_sk_);
  loaded_ = false;
}

// FIPS 206 / Falcon: the signing-key decoding, and the recomputation of G from f, g and F.
bool SigningKey::decode(std::span<const uint8_t> sk) noexcept {
  // A key that holds nothing was wiped already (on construction or on the
  // last refusal).
  if (loaded_) wipe();
  // The header byte only names the format.
  if (sk.size() != kSigningKeyLen || subtle::public_value(sk[0]) != 0x50 + kLogN) return false;
  const uint8_t* body = sk.data() + 1;
  bool ok = unpack_signed(body, 384, f_, kN, 6);
  ok &= unpack_signed(body + 384, 384, g_, kN, 6);
  ok &= unpack_signed(body + 768, 512, F_, kN, 8);
  // The signing seed is keyed by f and g; the verifying key's hash is kept.
  keccak::shake256(body, 768, hashed_sk_, sizeof hashed_sk_);
  std::memcpy(hashed_vk_, body + 1280, kHashedKeyLen);
  // The hash of the verifying key is public (every verifier computes it).
  subtle::mark_public(hashed_vk_, sizeof hashed_vk_);

  // h = g / f and, from f G - g F = q, G = h F (mod q).
  struct Work {
    uint16_t h[kN], t[kN];
  };
  zeroize::Wiped<Work> w;
  small_to_modq(g_, w->h);
  small_to_modq(f_, w->t);
  ntt(w->h);
  ntt(w->t);
  ok &= ntt_div(w->h, w->t);
  small_to_modq(F_, w->t);
  ntt(w->t);
  ntt_mul(w->t, w->h);
  vk_[0] = static_cast<uint8_t>(kLogN);
  modq_encode(w->h, vk_ + 1);
  intt(w->t);
  ok &= modq_to_small(w->t, G_);
  // Whether the key is well formed is the decoder's public answer.
  if (!subtle::public_value(ok)) {
    wipe();
    return false;
  }

  double* b00 = basis_;
  double* b01 = b00 + kN;
  double* b10 = b01 + kN;
  double* b11 = b10 + kN;
  const int8_t* rows[4] = {g_, f_, G_, F_};
  double* cells[4] = {b00, b01, b10, b11};
  for (int k = 0; k < 4; ++k) {
    fpoly_from_small(kLogN, cells[k], rows[k]);
    fft(kLogN, cells[k]);
  }
  fpoly_neg(kLogN, b01);
  fpoly_neg(kLogN, b11);
  loaded_ = true;
  return true;
}

void SigningKey::to_verifying_key(uint8_t vk[kVerifyingKeyLen]) const noexcept {
  std::memcpy(vk, vk_, kVerifyingKeyLen);
}

namespace {

// Working memory of one signature; wiped when released.
struct SignWork {
  double g00[kN], g01[kN], g11[kN];  // Gram matrix B B*
  double t0[kN], t1[kN];             // target, then sampled vector
  double tree[4 * kN];               // sampling scratch, then products
  uint16_t point[kN];
  int16_t s2[kN];
  uint8_t seed[41];  // per-signature seed and the attempt counter
  uint8_t nonce[40];
  uint8_t mu[64];
  ~SignWork() { zeroize::wipe(this, sizeof *this); }
};

// Gram matrix of the basis rows: g00 = |b00|^2 + |b01|^2, g01 = b00 adj(b10)
// + b01 adj(b11), g11 = |b10|^2 + |b11|^2, all pointwise.
// FIPS 206 / Falcon: Sign, the Gram matrix B B* of the basis.
void gram(const double* b, SignWork& w) noexcept {
  constexpr unsigned logn = kLogN;
  constexpr size_t n = kN;
  const double* b00 = b;
  const double* b01 = b + n;
  const double* b10 = b + 2 * n;
  const double* b11 = b + 3 * n;
  double* t = w.tree;
  std::memcpy(w.g00, b00, sizeof w.g00);
  fpoly_norm_sq(logn, w.g00);
  std::memcpy(t, b01, n * sizeof(double));
  fpoly_norm_sq(logn, t);
  fpoly_add(logn, w.g00, t);
  std::memcpy(w.g01, b00, sizeof w.g01);
  fpoly_mul_adj(logn, w.g01, b10);
  std::memcpy(t, b01, n * sizeof(double));
  fpoly_mul_adj(logn, t, b11);
  fpoly_add(logn, w.g01, t);
  std::memcpy(w.g11, b10, sizeof w.g11);
  fpoly_norm_sq(logn, w.g11);
  std::memcpy(t, b11, n * sizeof(double));
  fpoly_norm_sq(logn, t);
  fpoly_add(logn, w.g11, t);
}

// s1 = c - round(z0), s2 = -round(z1) with the squared norm of (s1, s2);
// true when it is within the bound (the sum saturates on overflow, and any
// coefficient of s1 beyond the encodable range also refuses).
bool short_enough(const uint16_t* c, const double* z0, const double* z1, int16_t* s2) noexcept {
  uint32_t norm = 0, over = 0;
  for (size_t i = 0; i < kN; ++i) {
    const int32_t v = static_cast<int16_t>(static_cast<int32_t>(c[i]) - static_cast<int32_t>(rint(z0[i])));
    norm += static_cast<uint32_t>(v * v);
    over |= norm | static_cast<uint32_t>(kBInf - v) | static_cast<uint32_t>(kBInf + v);
  }
  for (size_t i = 0; i < kN; ++i) {
    const int16_t v = static_cast<int16_t>(-rint(z1[i]));
    norm += static_cast<uint32_t>(int32_t{v} * v);
    over |= norm;
    s2[i] = v;
  }
  norm |= static_cast<uint32_t>(static_cast<int32_t>(over) >> 31);
  return norm <= kSqBeta;
}

}  // namespace

// FIPS 206 / Falcon: Sign.
SignStatus SigningKey::sign_with_seed(std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
                                      const uint8_t seed[kSignSeedLen], uint8_t sig[kSignatureLen]) noexcept {
  if (!loaded_) return SignStatus::BadKey;
  if (ctx.size() > kMaxContextLen) return SignStatus::BadContext;
  constexpr unsigned logn = kLogN;
  constexpr size_t n = kN;
  auto held = std::make_unique_for_overwrite<SignWork>();
  SignWork& w = *held;

  compute_mu(hashed_vk_, ctx, msg, w.mu);
  {
    keccak::Shake256 sh;
    sh.absorb(hashed_sk_, sizeof hashed_sk_);
    sh.absorb(w.mu, sizeof w.mu);
    sh.absorb(seed, kSignSeedLen);
    sh.finalize();
    sh.squeeze(w.seed, 40);
  }
  const double* b01 = basis_ + n;
  const double* b11 = basis_ + 3 * n;

  for (unsigned attempt = 0; attempt < kMaxAttempts; ++attempt) {
    w.seed[40] = static_cast<uint8_t>(attempt);
    GaussSampler gs(w.seed, sizeof w.seed);
    gs.stream().next_bytes(w.nonce, sizeof w.nonce);
    // The nonce is published in the signature.
    subtle::mark_public(w.nonce, sizeof w.nonce);
    hash_to_point(w.nonce, w.mu, w.point);

    gram(basis_, w);
    // Target (c, 0) B^-1 = (c b11, -c b01) / q.
    for (size_t i = 0; i < n; ++i) w.t0[i] = static_cast<double>(w.point[i]);
    fft(logn, w.t0);
    std::memcpy(w.t1, w.t0, sizeof w.t1);
    fpoly_mul(logn, w.t1, b01);
    fpoly_scale(logn, w.t1, -kInvQ);
    fpoly_mul(logn, w.t0, b11);
    fpoly_scale(logn, w.t0, kInvQ);
    ff_sample(gs, logn, w.t0, w.t1, w.g00, w.g01, w.g11, w.tree);

    // z B = (z0 b00 + z1 b10, z0 b01 + z1 b11).
    double* x = w.tree;
    double* y = w.tree + n;
    std::memcpy(x, w.t0, n * sizeof(double));
    fpoly_mul(logn, x, basis_);
    std::memcpy(y, w.t1, n * sizeof(double));
    fpoly_mul(logn, y, basis_ + 2 * n);
    fpoly_add(logn, x, y);
    std::memcpy(y, w.t0, n * sizeof(double));
    fpoly_mul(logn, y, b01);
    fpoly_mul(logn, w.t1, b11);
    fpoly_add(logn, w.t1, y);
    ifft(logn, x);
    ifft(logn, w.t1);
    // The norm check refuses a candidate (public verdict). A short s2 is
    // the signature itself, so its encoding may show; one that does not
    // fit the fixed length is refused in turn.
    if (!subtle::public_value(short_enough(w.point, x, w.t1, w.s2))) continue;
    subtle::mark_public(w.s2, sizeof w.s2);
    if (pack_compressed(w.s2, sig + 41, kSignatureLen - 41)) {
      sig[0] = static_cast<uint8_t>(0x30 + kLogN);
      std::memcpy(sig + 1, w.nonce, sizeof w.nonce);
      return SignStatus::Ok;
    }
  }
  return SignStatus::Failed;
}

}  // namespace fndsa
