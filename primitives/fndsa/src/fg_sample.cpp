// f and g: discrete Gaussian of standard deviation 1.17 sqrt(q / 1024),
// drawn by inversion of a cumulative table, and the norm tests.
#include "fg_sample.hpp"

#include "fixed.hpp"
#include "subtle/ct_marks.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::kgen {
namespace {

// 2^15 P(|x| > i) for the half Gaussian, i = 0 .. 16 (the reversed
// cumulative distribution in 15 bits).
constexpr uint16_t kTail[17] = {29543, 23286, 17574, 12669, 8706, 5692, 3535, 2083, 1164,
                                615,   308,   146,   65,    28,   11,   4,    1};

// One coefficient from 16 random bits: the top 15 bits give the magnitude
// (how many table entries lie above them, each comparison a borrow), the
// low bit the sign. No branch and no table index depends on the bits.
int32_t draw(uint16_t bits) noexcept {
  const uint32_t u = bits >> 1;
  uint32_t mag = 0;
  for (uint16_t t : kTail) mag += (u - t) >> 31;
  const uint32_t neg = 0u - (bits & 1u);
  return static_cast<int32_t>((mag ^ neg) - neg);
}

}  // namespace

// FIPS 206 / Falcon: NTRUGen, the sampling of f and g.
void sample_short(detail::ShakePrng& rng, int8_t* f) noexcept {
  uint32_t parity = 0;
  for (size_t i = 0; i + 1 < 512; ++i) {
    const int32_t v = draw(rng.next_u16());
    parity ^= static_cast<uint32_t>(v);
    f[i] = static_cast<int8_t>(v);
  }
  // The last coefficient is redrawn until the sum is odd (a rejection:
  // only the number of draws shows, which is why the verdict is public).
  for (;;) {
    const int32_t v = draw(rng.next_u16());
    if (subtle::public_value(((parity ^ static_cast<uint32_t>(v)) & 1) != 0)) {
      f[511] = static_cast<int8_t>(v);
      return;
    }
  }
}

// FIPS 206 / Falcon: NTRUGen, the norm test on (g, -f).
bool small_norm(const int8_t* f, const int8_t* g) noexcept {
  int32_t s = 0;
  for (size_t i = 0; i < 512; ++i) s += f[i] * f[i] + g[i] * g[i];
  return s < 16823;
}

// FIPS 206 / Falcon: NTRUGen, the norm test on the orthogonalised vector.
bool small_orthogonal_norm(const int8_t* f, const int8_t* g) noexcept {
  constexpr unsigned logn = 9;
  constexpr size_t n = 512, hn = 256;
  struct Work {
    Fixed fa[n], ga[n], inv[hn], den[hn];
  };
  zeroize::Wiped<Work> w;
  Fixed* fa = w->fa;
  Fixed* ga = w->ga;
  for (size_t i = 0; i < n; ++i) {
    fa[i] = Fixed::from_int(f[i]);
    ga[i] = Fixed::from_int(g[i]);
  }
  fixed_fft(fa, logn);
  fixed_fft(ga, logn);
  for (size_t i = 0; i < hn; ++i) {
    w->den[i] = fa[i] * fa[i] + fa[i + hn] * fa[i + hn] + (ga[i] * ga[i] + ga[i + hn] * ga[i + hn]);
    w->inv[i] = Fixed::from_int(1);
  }
  fixed_div_all(w->inv, w->den, hn);
  // q adj(a) / d, pointwise, back to coefficients.
  const Fixed q = Fixed::from_int(12289);
  for (Fixed* a : {fa, ga}) {
    for (size_t i = 0; i < hn; ++i) {
      a[i] = a[i] * q * w->inv[i];
      a[i + hn] = (-a[i + hn]) * q * w->inv[i];
    }
    fixed_ifft(a, logn);
  }
  Fixed s{0};
  for (size_t i = 0; i < n; ++i) s = s + fa[i] * fa[i] + ga[i] * ga[i];
  // (0.999 * 1.17)^2 q = 16788.784... times 2^32, rounded up: for the raw
  // integer s the test is exactly s < (0.999 * 1.17)^2 q (fg_sample.hpp).
  return s.as_signed() < 72107278641426;
}

}  // namespace fndsa::kgen
