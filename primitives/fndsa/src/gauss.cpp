// Sampling over Z: a candidate z = s + z' with s = floor(mu), z' built from
// a base half-Gaussian value z0 of the larger deviation sigma0 = 1.8205 and
// a sign bit (z' = z0 + 1 or -z0), is kept with probability
//   (sigma_min / sigma') exp((z0^2) / (2 sigma0^2) - (z' - r)^2 / (2 sigma'^2)),
// r = mu - s, which turns the distribution into the wanted one (rejection
// sampling). The exponential is computed in fixed point and compared, byte
// by byte from the top, with random bytes.
#include "gauss.hpp"

#include <cstring>

#include "subtle/ct_marks.hpp"

namespace fndsa::detail {
namespace {

constexpr double kHalfInvSigma0Sq = scaled(5435486223186882, -55);  // 1 / (2 sigma0^2)
constexpr double kSigmaMin = scaled(5754851361258101, -52);         // sigma_min for n = 512
constexpr double kLn2 = scaled(6243314768165359, -53);
constexpr double kInvLn2 = scaled(6497320848556798, -52);

// 2^72 P(z0 > i) for the base distribution, as three 24-bit limbs from the
// most significant.
constexpr uint32_t kBaseTail[18][3] = {
    {1375468055, 6936092, 9176346},
    {711562636, 1023934, 15582455},
    {289335016, 4826132, 14746371},
    {90749601, 12313548, 10843417},
    {21676598, 5732767, 9419414},
    {3908963, 11171514, 6206010},
    {529006, 11146683, 11891888},
    {53503, 15610582, 11661180},
    {4032, 7095613, 11671091},
    {225, 16701698, 407118},
    {9, 6787688, 1638204},
    {0, 4870085, 8687822},
    {0, 111406, 13946073},
    {0, 1887, 12017202},
    {0, 23, 11452285},
    {0, 0, 3689579},
    {0, 0, 25354},
    {0, 0, 129},
};

// exp(-x) on [0, ln 2] ~ 2^-63 sum over i = 0..12 of (-1)^i c_i x^i, with
// c_i near 2^63 / i!; stored highest degree first (Horner's order). These are
// the integers of Falcon's ApproxExp, which took the polynomial from the
// FACCT sampler of Zhao, Steinfeld and Sakzad and scaled its coefficients by
// 2^63.
constexpr uint64_t kExpPoly[13] = {
    0x00000004741183A3, 0x00000036548CFC06, 0x0000024FDCBF140A, 0x0000171D939DE045, 0x0000D00CF58F6F84,
    0x000680681CF796E3, 0x002D82D8305B0FEA, 0x011111110E066FD0, 0x0555555555070F00, 0x155555555581FF00,
    0x400000000002B400, 0x7FFFFFFFFFFF4800, 0x8000000000000000,
};

inline uint64_t mul_high(uint64_t a, uint64_t b) noexcept {
  return static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
}

// A number in [0, 1) (or [0, 1]) as a 64-bit fraction, through the signed
// conversion of x 2^63.
inline uint64_t to_fraction64(double x) noexcept {
  constexpr double k2p63 = 9223372036854775808.0;
  return static_cast<uint64_t>(static_cast<int64_t>(x * k2p63)) << 1;
}

// 2^63 ccs exp(-r) for r in [0, ln 2], ccs in [0, 1]: Horner's rule where
// each step is c_i - x * y with the product's top 64 bits.
// FIPS 206 / Falcon: ApproxExp.
inline uint64_t scaled_exp(double r, double ccs) noexcept {
  const uint64_t x = to_fraction64(r);
  uint64_t y = kExpPoly[0];
  for (size_t i = 1; i < 13; ++i) y = kExpPoly[i] - mul_high(x, y);
  return mul_high(to_fraction64(ccs), y);
}

// The table's rows as 79-bit integers (limbs joined).
struct Threshold {
  unsigned __int128 v[18];
};
constexpr Threshold thresholds() noexcept {
  Threshold t{};
  for (size_t i = 0; i < 18; ++i)
    t.v[i] =
        (static_cast<unsigned __int128>(kBaseTail[i][0]) << 48) | (uint64_t{kBaseTail[i][1]} << 24) | kBaseTail[i][2];
  return t;
}
constexpr Threshold kThreshold = thresholds();

inline uint64_t load_le64(const uint8_t* p) noexcept {
  uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return keccak::le64(x);
}

// FIPS 206 / Falcon: BaseSampler.
// 80 random bits (10 bytes): the lowest is the sign, the next 79 (72 of
// them significant) are compared with the table as one integer; returns z0.
[[gnu::always_inline]] inline int32_t base_value(const uint8_t* in, int32_t& bit) noexcept {
  const uint64_t lo = load_le64(in);
  const uint32_t hi = uint32_t{in[8]} | (uint32_t{in[9]} << 8);
  bit = static_cast<int32_t>(lo & 1);
  const unsigned __int128 u = (lo >> 1) | (static_cast<unsigned __int128>(hi) << 63);
  // z0 counts the entries above the draw: each comparison is the borrow of
  // a subtraction (both sides are below 2^79, so it lands in the top bit).
  // Three partial sums keep the additions off one long chain.
  uint64_t c[3] = {0, 0, 0};
#pragma GCC unroll 18
  for (size_t i = 0; i < 18; ++i) c[i % 3] += static_cast<uint64_t>((u - kThreshold.v[i]) >> 127);
  return static_cast<int32_t>(c[0] + c[1] + c[2]);
}

// FIPS 206 / Falcon: BerExp, its threshold: the candidate is kept with
// probability p / 2^64 = ccs exp(-x).
[[gnu::always_inline]] inline uint64_t keep_threshold(double x, double ccs) noexcept {
  // x = k ln 2 + r: exp(-x) = 2^-k exp(-r), the shift saturated at 63.
  const int64_t k = static_cast<int64_t>(x * kInvLn2);
  const double r = x - static_cast<double>(k) * kLn2;
  uint32_t shift = static_cast<uint32_t>(k);
  shift = (shift | ((63u - shift) >> 16)) & 63;
  return ((scaled_exp(r, ccs) << 1) - 1) >> shift;
}

// What one centre fixes for all rounds of the loop.
struct Centre {
  double r, half_inv_sq, ccs;
};

struct Candidate {
  int32_t z;   // offset from floor(mu)
  uint64_t p;  // its keep threshold
};

// One round from 10 stream bytes: z' = z0 + 1 or -z0 by the sign bit.
[[gnu::always_inline]] inline Candidate candidate(const uint8_t* in, const Centre& c) noexcept {
  int32_t bit;
  const int32_t z0 = base_value(in, bit);
  const int32_t z = bit + ((bit << 1) - 1) * z0;
  double x = static_cast<double>(z) - c.r;
  x = (x * x) * c.half_inv_sq;
  x -= static_cast<double>(z0 * z0) * kHalfInvSigma0Sq;
  return {z, keep_threshold(x, c.ccs)};
}

// Bernoulli(p / 2^64) on the stream bytes at in: a uniform 64-bit value
// below p, read from its top byte down, stopping at the first byte that
// differs (none: all eight are read and the value is not below p); `used`
// is the count read. A fresh uniform byte equals a given one with
// probability 1/256 whatever p is, so the count is independent of p and
// may show; the outcome is the sampler's accept-or-redraw decision, public
// by design. The first byte decides but once in 256 trials, and taking
// that case on its own keeps the count a predicted branch rather than a
// result of the trial, so what follows need not wait for it.
[[gnu::always_inline]] inline bool bernoulli(const uint8_t* in, uint64_t p, size_t& used) noexcept {
  const uint64_t u = __builtin_bswap64(load_le64(in));
  const uint64_t d = u ^ p;
  used = 1;
  if (!subtle::public_value((d >> 56) != 0))
    used = subtle::public_value(static_cast<size_t>(__builtin_clzll(d | 1)) >> 3) + 1;
  return subtle::public_value(u < p);
}

}  // namespace

// FIPS 206 / Falcon: SamplerZ.
int32_t GaussSampler::sample(double mu, double inv_sigma) noexcept {
  const int64_t s = floor_i64(mu);
  const Centre c{mu - static_cast<double>(s), (inv_sigma * inv_sigma) * 0.5, inv_sigma * kSigmaMin};
  for (;;) {
    const uint8_t* in = rng_.window(18);
    const Candidate a = candidate(in, c);
    size_t used;
    const bool keep = bernoulli(in + 10, a.p, used);
    rng_.skip(10 + used);
    if (keep) return static_cast<int32_t>(s) + a.z;
  }
}

}  // namespace fndsa::detail
