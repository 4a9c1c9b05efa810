// Signing-key decoding and signing: fast Fourier sampling over the tree of
// the Gram matrix, built on the fly, with a SHAKE256-driven Gaussian sampler.
#include <cstring>
#include <memory>

#include "internal.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa {

using namespace detail;

namespace {

constexpr double kInv2SqrSigma0 = scaled(5435486223186882, -55);
constexpr double kInvSigma = scaled(6956347512113097, -60);  // 1/sigma for n = 512
constexpr double kSigmaMin = scaled(5754851361258101, -52);  // sigma_min for n = 512
constexpr double kLog2 = scaled(6243314768165359, -53);
constexpr double kInvLog2 = scaled(6497320848556798, -52);
constexpr double kInvQ = scaled(6004310871091074, -66);

// Cumulative distribution of the half-Gaussian of sigma0 = 1.8205, as
// 72-bit values split into 24-bit limbs (high limb first).
constexpr uint32_t kGauss0[18][3] = {
    {1375468055, 6936092, 9176346}, {711562636, 1023934, 15582455}, {289335016, 4826132, 14746371},
    {90749601, 12313548, 10843417}, {21676598, 5732767, 9419414},   {3908963, 11171514, 6206010},
    {529006, 11146683, 11891888},   {53503, 15610582, 11661180},    {4032, 7095613, 11671091},
    {225, 16701698, 407118},        {9, 6787688, 1638204},          {0, 4870085, 8687822},
    {0, 111406, 13946073},          {0, 1887, 12017202},            {0, 23, 11452285},
    {0, 0, 3689579},                {0, 0, 25354},                  {0, 0, 129},
};

// Polynomial approximation of exp(-x), coefficients scaled by 2^63.
constexpr uint64_t kExpmCoeffs[13] = {
    0x00000004741183A3, 0x00000036548CFC06, 0x0000024FDCBF140A, 0x0000171D939DE045,
    0x0000D00CF58F6F84, 0x000680681CF796E3, 0x002D82D8305B0FEA, 0x011111110E066FD0,
    0x0555555555070F00, 0x155555555581FF00, 0x400000000002B400, 0x7FFFFFFFFFFF4800,
    0x8000000000000000,
};

// 2^63 * ccs * exp(-r), for r in [0, log 2] and ccs in [0, 1].
uint64_t expm_p63(double r, double ccs) noexcept {
  constexpr double k2p63 = 9223372036854775808.0;
  uint64_t y = kExpmCoeffs[0];
  const uint64_t z = static_cast<uint64_t>(static_cast<int64_t>(r * k2p63)) << 1;
  for (size_t i = 1; i < 13; ++i) {
    unsigned __int128 yy = static_cast<unsigned __int128>(z) * y;
    y = kExpmCoeffs[i] - static_cast<uint64_t>(yy >> 64);
  }
  const uint64_t w = static_cast<uint64_t>(static_cast<int64_t>(ccs * k2p63)) << 1;
  return static_cast<uint64_t>((static_cast<unsigned __int128>(w) * y) >> 64);
}

class Sampler {
 public:
  Sampler(const uint8_t* seed, size_t len) noexcept : rng_(seed, len) {}

  void next_bytes(uint8_t* d, size_t n) noexcept { rng_.next_bytes(d, n); }

  // An integer from the discrete Gaussian of centre mu and 1/sigma = isigma.
  int32_t next(double mu, double isigma) noexcept {
    const int64_t s = floor_i64(mu);
    const double r = mu - static_cast<double>(s);
    const double dss = (isigma * isigma) * 0.5;
    const double ccs = isigma * kSigmaMin;
    for (;;) {
      int32_t z0, b;
      gaussian0(z0, b);
      const int32_t z = b + ((b << 1) - 1) * z0;
      double x = static_cast<double>(z) - r;
      x = (x * x) * dss;
      x -= static_cast<double>(z0 * z0) * kInv2SqrSigma0;
      if (ber_exp(x, ccs)) return static_cast<int32_t>(s) + z;
    }
  }

  void ffsamp(unsigned logn, double* t0, double* t1, double* g00, double* g01, double* g11,
              double* tmp) noexcept;

 private:
  void gaussian0(int32_t& z, int32_t& b) noexcept {
    const uint64_t lo = rng_.next_u64();
    const uint32_t hi = rng_.next_u16();
    b = static_cast<int32_t>(lo & 1);
    const uint32_t v0 = (static_cast<uint32_t>(lo) >> 1) & 0x00FFFFFF;
    const uint32_t v1 = static_cast<uint32_t>(lo >> 25) & 0x00FFFFFF;
    const uint32_t v2 = static_cast<uint32_t>(lo >> 49) | (hi << 15);
    z = 0;
    for (const auto& row : kGauss0) {
      uint32_t cc = (v0 - row[2]) >> 31;
      cc = (v1 - row[1] - cc) >> 31;
      cc = (v2 - row[0] - cc) >> 31;
      z += static_cast<int32_t>(cc);
    }
  }

  // A bit that is 1 with probability ccs * exp(-x), for x >= 0.
  bool ber_exp(double x, double ccs) noexcept {
    const int64_t si = static_cast<int64_t>(x * kInvLog2);
    const double r = x - static_cast<double>(si) * kLog2;
    uint32_t s = static_cast<uint32_t>(si);
    s = (s | ((63u - s) >> 16)) & 63;  // saturate at 63
    const uint64_t z = ((expm_p63(r, ccs) << 1) - 1) >> s;
    for (int i = 0; i < 8; ++i) {
      const uint8_t w = rng_.next_u8();
      const uint8_t bz = static_cast<uint8_t>(z >> (56 - 8 * i));
      if (w != bz) return w < bz;
    }
    return false;
  }

  ShakePrng rng_;
};

void Sampler::ffsamp(unsigned logn, double* t0, double* t1, double* g00, double* g01, double* g11,
                     double* tmp) noexcept {
  if (logn == 1) {
    const double g00_re = g00[0];
    const double g01_re = g01[0], g01_im = g01[1];
    const double g11_re = g11[0];
    const double inv_g00_re = 1.0 / g00_re;
    const double mu_re = g01_re * inv_g00_re, mu_im = g01_im * inv_g00_re;
    const double zo_re = mu_re * g01_re + mu_im * g01_im;
    const double d00_re = g00_re;
    const double l01_re = mu_re, l01_im = -mu_im;
    const double d11_re = g11_re - zo_re;
    const double w0 = t1[0], w1 = t1[1];
    double leaf = fsqrt(d11_re) * kInvSigma;
    const double y0 = static_cast<double>(next(w0, leaf));
    const double y1 = static_cast<double>(next(w1, leaf));
    const double a_re = w0 - y0, a_im = w1 - y1;
    const double b_re = a_re * l01_re - a_im * l01_im;
    const double b_im = a_re * l01_im + a_im * l01_re;
    const double x0 = t0[0] + b_re, x1 = t0[1] + b_im;
    t1[0] = y0;
    t1[1] = y1;
    leaf = fsqrt(d00_re) * kInvSigma;
    t0[0] = static_cast<double>(next(x0, leaf));
    t0[1] = static_cast<double>(next(x1, leaf));
    return;
  }

  const size_t n = size_t{1} << logn;
  const size_t hn = n >> 1;

  // Decompose G = L D L*; split the diagonal into the Gram matrices of the
  // two half-size subproblems.
  poly_ldl_fft(logn, g00, g01, g11);
  poly_split_selfadj_fft(logn, tmp, tmp + hn, g00);
  std::memcpy(g00, tmp, n * sizeof(double));
  poly_split_selfadj_fft(logn, tmp, tmp + hn, g11);
  std::memcpy(g11, tmp, n * sizeof(double));
  std::memcpy(tmp, g01, n * sizeof(double));  // l10
  std::memcpy(g01, g00, hn * sizeof(double));
  std::memcpy(g01 + hn, g11, hn * sizeof(double));

  double* left_00 = g00;
  double* left_01 = g00 + hn;
  double* right_00 = g11;
  double* right_01 = g11 + hn;
  double* left_11 = g01;
  double* right_11 = g01 + hn;

  // Right half first: z1 = merge(ffsamp(split(t1))).
  {
    double* w0 = tmp + n;
    double* w1 = w0 + hn;
    double* rest = w1 + hn;
    poly_split_fft(logn, w0, w1, t1);
    ffsamp(logn - 1, w0, w1, right_00, right_01, right_11, rest);
    poly_merge_fft(logn, rest, w0, w1);
  }
  // t0 += (t1 - z1) * l10; t1 = z1.
  {
    double* l10 = tmp;
    double* w = tmp + n;
    double* z1 = w + n;
    std::memcpy(w, t1, n * sizeof(double));
    poly_sub(logn, w, z1);
    std::memcpy(t1, z1, n * sizeof(double));
    poly_mul_fft(logn, l10, w);
    poly_add(logn, t0, l10);
  }
  // Left half.
  {
    double* w0 = tmp;
    double* w1 = w0 + hn;
    double* rest = w1 + hn;
    poly_split_fft(logn, w0, w1, t0);
    ffsamp(logn - 1, w0, w1, left_00, left_01, left_11, rest);
    poly_merge_fft(logn, t0, w0, w1);
  }
}

}  // namespace

SigningKey::SigningKey() noexcept { wipe(); }

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

bool SigningKey::decode(std::span<const uint8_t> sk) noexcept {
  wipe();
  if (sk.size() != kSigningKeySize || sk[0] != 0x50 + kLogN) return false;
  const uint8_t* p = sk.data() + 1;
  bool ok = trim_i8_decode(p, 384, f_, kN, 6);
  ok &= trim_i8_decode(p + 384, 384, g_, kN, 6);
  ok &= trim_i8_decode(p + 768, 512, F_, kN, 8);
  keccak::shake256(p, 768, hashed_sk_, sizeof hashed_sk_);
  std::memcpy(hashed_vk_, p + 1280, 64);

  // h = g / f, G = h * F (from f G - g F = q), in NTT form.
  uint16_t w0[kN], w1[kN];
  small_to_modq(g_, w0);
  small_to_modq(f_, w1);
  ntt(w0);
  ntt(w1);
  ok &= ntt_div(w0, w1);
  small_to_modq(F_, w1);
  ntt(w1);
  ntt_mul(w1, w0);
  vk_[0] = 0x00 + kLogN;  // h is stored in NTT form
  modq_encode(w0, vk_ + 1);
  intt(w1);
  ok &= modq_to_small(w1, G_);
  zeroize::wipe(w0, sizeof w0);
  zeroize::wipe(w1, sizeof w1);
  if (!ok) {
    wipe();
    return false;
  }

  double* b00 = basis_;
  double* b01 = b00 + kN;
  double* b10 = b01 + kN;
  double* b11 = b10 + kN;
  poly_set_small(kLogN, b01, f_);
  poly_set_small(kLogN, b00, g_);
  poly_set_small(kLogN, b11, F_);
  poly_set_small(kLogN, b10, G_);
  fft(kLogN, b01);
  fft(kLogN, b00);
  fft(kLogN, b11);
  fft(kLogN, b10);
  poly_neg(kLogN, b01);
  poly_neg(kLogN, b11);
  loaded_ = true;
  return true;
}

void SigningKey::to_verifying_key(uint8_t vk[kVerifyingKeySize]) const noexcept {
  std::memcpy(vk, vk_, kVerifyingKeySize);
}

namespace {

struct SignScratch {
  double flr[9 * kN];
  uint16_t hm[kN];
  int16_t s2[kN];
  uint8_t seed2[41];
  uint8_t nonce[40];
  ~SignScratch() { zeroize::wipe(this, sizeof *this); }
};

}  // namespace

SignStatus SigningKey::sign_with_seed(const uint8_t seed[kSignSeedSize], std::span<const uint8_t> ctx,
                                      std::span<const uint8_t> msg, uint8_t sig[kSignatureSize]) noexcept {
  if (!loaded_) return SignStatus::BadKey;
  if (ctx.size() > kMaxContextSize) return SignStatus::BadContext;
  constexpr unsigned logn = kLogN;
  constexpr size_t n = kN;

  uint8_t mu[64];
  compute_mu(hashed_vk_, ctx, msg, mu);

  auto sc = std::make_unique_for_overwrite<SignScratch>();
  {
    keccak::Shake256 sh;
    sh.absorb(hashed_sk_, sizeof hashed_sk_);
    sh.absorb(mu, 64);
    sh.absorb(seed, kSignSeedSize);
    sh.finalize();
    sh.squeeze(sc->seed2, 40);
  }

  const double* b00 = basis_;
  const double* b01 = b00 + n;
  const double* b10 = b01 + n;
  const double* b11 = b10 + n;
  double* tmp = sc->flr;

  for (unsigned counter = 0; counter < 27; ++counter) {
    sc->seed2[40] = static_cast<uint8_t>(counter);
    Sampler samp(sc->seed2, 41);
    samp.next_bytes(sc->nonce, 40);
    hash_to_point(sc->nonce, mu, sc->hm);

    // Gram matrix of the basis: g00, g01, g11 (g10 = adj(g01)).
    double* g00 = tmp;
    double* g01 = g00 + n;
    double* g11 = g01 + n;
    double* t0 = g11 + n;
    double* t1 = t0 + n;
    std::memcpy(g00, b00, n * sizeof(double));
    poly_mulownadj_fft(logn, g00);
    std::memcpy(t0, b01, n * sizeof(double));
    poly_mulownadj_fft(logn, t0);
    poly_add(logn, g00, t0);
    std::memcpy(g01, b00, n * sizeof(double));
    poly_muladj_fft(logn, g01, b10);
    std::memcpy(t0, b01, n * sizeof(double));
    poly_muladj_fft(logn, t0, b11);
    poly_add(logn, g01, t0);
    std::memcpy(g11, b10, n * sizeof(double));
    poly_mulownadj_fft(logn, g11);
    std::memcpy(t0, b11, n * sizeof(double));
    poly_mulownadj_fft(logn, t0);
    poly_add(logn, g11, t0);

    // Target vector: t0 = hm * b11 / q, t1 = -hm * b01 / q, kept at 5n, 6n.
    {
      double* u0 = tmp + 5 * n;
      double* u1 = tmp + 6 * n;
      for (size_t i = 0; i < n; ++i) u0[i] = static_cast<double>(sc->hm[i]);
      fft(logn, u0);
      std::memcpy(u1, u0, n * sizeof(double));
      poly_mul_fft(logn, u1, b01);
      poly_mulconst(logn, u1, -kInvQ);
      poly_mul_fft(logn, u0, b11);
      poly_mulconst(logn, u0, kInvQ);
    }
    std::memmove(tmp + 3 * n, tmp + 5 * n, 2 * n * sizeof(double));
    samp.ffsamp(logn, t0, t1, g00, g01, g11, tmp + 5 * n);

    // Lattice point from the sampled vector: (tx, ty) = (t0, t1) * B.
    std::memmove(tmp + 4 * n, tmp + 3 * n, 2 * n * sizeof(double));
    std::memcpy(tmp, basis_, 4 * n * sizeof(double));
    {
      double* c00 = tmp;
      double* c01 = c00 + n;
      double* c10 = c01 + n;
      double* c11 = c10 + n;
      double* z0 = c11 + n;
      double* z1 = z0 + n;
      double* tx = z1 + n;
      double* ty = tx + n;
      std::memcpy(tx, z0, n * sizeof(double));
      std::memcpy(ty, z1, n * sizeof(double));
      poly_mul_fft(logn, tx, c00);
      poly_mul_fft(logn, ty, c10);
      poly_add(logn, tx, ty);
      std::memcpy(ty, z0, n * sizeof(double));
      poly_mul_fft(logn, ty, c01);
      std::memcpy(z0, tx, n * sizeof(double));
      poly_mul_fft(logn, z1, c11);
      poly_add(logn, z1, ty);
      ifft(logn, z0);
      ifft(logn, z1);

      // s1 = hm - round(z0), s2 = -round(z1); squared norm, saturated.
      uint32_t sqn = 0;
      uint32_t ng = 0;
      for (size_t i = 0; i < n; ++i) {
        int32_t z = static_cast<int32_t>(sc->hm[i]) - static_cast<int32_t>(rint(z0[i]));
        z = static_cast<int16_t>(z);
        sqn += static_cast<uint32_t>(z * z);
        ng |= sqn;
        ng |= static_cast<uint32_t>(kBInf - z);
        ng |= static_cast<uint32_t>(kBInf + z);
      }
      for (size_t i = 0; i < n; ++i) {
        const int16_t sz = static_cast<int16_t>(-rint(z1[i]));
        const int32_t z = sz;
        sqn += static_cast<uint32_t>(z * z);
        ng |= sqn;
        sc->s2[i] = sz;
      }
      sqn |= static_cast<uint32_t>(static_cast<int32_t>(ng) >> 31);
      if (sqn > kSqBeta) continue;
    }
    if (comp_encode(sc->s2, sig + 41, kSignatureSize - 41)) {
      sig[0] = 0x30 + logn;
      std::memcpy(sig + 1, sc->nonce, 40);
      zeroize::wipe(mu, sizeof mu);
      return SignStatus::Ok;
    }
  }
  zeroize::wipe(mu, sizeof mu);
  return SignStatus::Failed;
}

}  // namespace fndsa
