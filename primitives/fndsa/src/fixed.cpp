// Fixed-point division and FFT.
#include "fixed.hpp"

#include "ct_word.hpp"
#include "dispatch.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::kgen {
namespace {

struct RootEntry {
  uint64_t re, im;
};
// e^(i pi rev10(k) / 1024) scaled by 2^32; entry m + j is the twiddle of
// block j when the transform has m blocks.
constexpr RootEntry kRoots[1024] = {
#include "fixed_roots.inc"
};

FixedComplex twiddle(size_t k) noexcept { return {{kRoots[k].re}, {kRoots[k].im}}; }

}  // namespace

// Long division of |a| 2^32 by |b|, one quotient bit per step from bit 63
// down (with the remainder kept below |b|), then one more step that rounds:
// the quotient goes up when twice the remainder reaches |b|. Each step
// subtracts under a mask. Quotients of 2^64 or more wrap.
Fixed operator/(Fixed a, Fixed b) noexcept {
  const uint64_t sa = ct::top_mask64(a.raw), sb = ct::top_mask64(b.raw);
  const uint64_t num = (a.raw ^ sa) - sa;
  const uint64_t den = (b.raw ^ sb) - sb;
  // The dividend is num 2^32; its bits above 2^63 form the first remainder.
  uint64_t rem = num >> 31;
  uint64_t quo = 0;
  for (int bit = 63; bit >= -1; --bit) {
    const uint64_t take = ~ct::top_mask64(rem - den);  // rem >= den (both < 2^63)
    rem -= den & take;
    if (bit >= 0) {
      quo |= (take & 1) << bit;
      const uint64_t next = bit >= 33 ? (num >> (bit - 33)) & 1 : 0;
      rem = (rem << 1) | next;
    } else {
      quo += take & 1;
    }
  }
  const uint64_t s = sa ^ sb;
  return {(quo ^ s) - s};
}

void fixed_div_all(Fixed* a, const Fixed* b, size_t n) noexcept {
  size_t i = 0;
  if (detail::use_avx2()) {
    i = n & ~size_t{3};
    fixed_div_avx2(a, b, i);
  }
  for (; i < n; ++i) a[i] = a[i] / b[i];
}

// Forward transform, splitting X^n + 1 = (X^(n/2) - w)(X^(n/2) + w) at each
// level: a block of 2h values (re, im) becomes x + w y and x - w y.
void fixed_fft(Fixed* a, unsigned logn) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t blocks = 1, h = hn >> 1; h >= 1; blocks <<= 1, h >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const FixedComplex w = twiddle(2 * blocks + b);
      Fixed* re = a + 2 * h * b;
      Fixed* im = re + hn;
      for (size_t j = 0; j < h; ++j) {
        const FixedComplex x{re[j], im[j]};
        const FixedComplex y = w * FixedComplex{re[j + h], im[j + h]};
        const FixedComplex s = x + y, d = x - y;
        re[j] = s.re;
        im[j] = s.im;
        re[j + h] = d.re;
        im[j + h] = d.im;
      }
    }
  }
}

// Inverse: each level rebuilds x = (s + d) / 2 and y = conj(w) (s - d) / 2.
void fixed_ifft(Fixed* a, unsigned logn) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t h = 1, blocks = hn >> 1; blocks >= 1; h <<= 1, blocks >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const FixedComplex t = twiddle(2 * blocks + b);
      const FixedComplex w{t.re, -t.im};
      Fixed* re = a + 2 * h * b;
      Fixed* im = re + hn;
      for (size_t j = 0; j < h; ++j) {
        const FixedComplex s{re[j], im[j]};
        const FixedComplex d{re[j + h], im[j + h]};
        const FixedComplex sum = s + d, diff = s - d;
        const FixedComplex y = w * FixedComplex{halve(diff.re), halve(diff.im)};
        re[j] = halve(sum.re);
        im[j] = halve(sum.im);
        re[j + h] = y.re;
        im[j + h] = y.im;
      }
    }
  }
}

void fixed_mul_fft(Fixed* a, const Fixed* b, unsigned logn) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const FixedComplex z = FixedComplex{a[i], a[i + hn]} * FixedComplex{b[i], b[i + hn]};
    a[i] = z.re;
    a[i + hn] = z.im;
  }
}

void fixed_inv_fft(Fixed* a, unsigned logn, uint32_t e) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  struct Norms {
    Fixed v[256];  // the squared moduli, every one written before use
  };
  zeroize::Wiped<Norms> held{zeroize::Wiped<Norms>::Uninitialised{}};
  Fixed* norm = held->v;
  for (size_t i = 0; i < hn; ++i) {
    const Fixed re = a[i], im = a[i + hn];
    norm[i] = re * re + im * im;
    a[i] = Fixed{re.raw << e};
    a[i + hn] = Fixed{(0 - im.raw) << e};
  }
  fixed_div_all(a, norm, hn);
  fixed_div_all(a + hn, norm, hn);
}

}  // namespace fndsa::kgen
