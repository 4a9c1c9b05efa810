#include "fxp.hpp"

namespace fndsa::detail {
namespace {

struct Root {
  uint64_t re, im;
};
constexpr Root kRoots[1024] = {
#include "fxp_roots.inc"
};

inline Fxc root(size_t k) noexcept { return {{kRoots[k].re}, {kRoots[k].im}}; }

}  // namespace

uint64_t Fxr::div(uint64_t x, uint64_t y) noexcept {
  const uint64_t sx = static_cast<uint64_t>(static_cast<int64_t>(x) >> 63);
  const uint64_t sy = static_cast<uint64_t>(static_cast<int64_t>(y) >> 63);
  x = (x ^ sx) - sx;
  y = (y ^ sy) - sy;
  // Dividend |x| * 2^32: its bits enter the remainder one at a time.
  uint64_t q = 0;
  uint64_t num = x >> 31;
  for (int i = 63; i >= 0; --i) {
    const uint64_t b = static_cast<uint64_t>((static_cast<int64_t>(num - y) >> 63) + 1);
    q |= b << i;
    num -= y & (0 - b);
    num <<= 1;
    if (i >= 33) num |= (x >> (i - 33)) & 1;
  }
  const uint64_t b = static_cast<uint64_t>((static_cast<int64_t>(num - y) >> 63) + 1);
  q += b;
  const uint64_t s = sx ^ sy;
  return (q ^ s) - s;
}

void fxp_fft(unsigned logn, Fxr* f) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  size_t t = hn;
  for (unsigned lm = 1; lm < logn; ++lm) {
    const size_t m = size_t{1} << lm;
    const size_t ht = t >> 1;
    size_t j0 = 0;
    for (size_t i = 0; i < (m >> 1); ++i) {
      const Fxc s = root(m + i);
      for (size_t j = j0; j < j0 + ht; ++j) {
        const Fxc x{f[j], f[j + hn]};
        const Fxc y{f[j + ht], f[j + ht + hn]};
        const Fxc z = s * y;
        const Fxc w1 = x + z, w2 = x - z;
        f[j] = w1.re;
        f[j + hn] = w1.im;
        f[j + ht] = w2.re;
        f[j + ht + hn] = w2.im;
      }
      j0 += t;
    }
    t = ht;
  }
}

void fxp_ifft(unsigned logn, Fxr* f) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  size_t ht = 1;
  for (unsigned lm = logn - 1; lm >= 1; --lm) {
    const size_t m = size_t{1} << lm;
    const size_t t = ht << 1;
    size_t j0 = 0;
    for (size_t i = 0; i < (m >> 1); ++i) {
      const Fxc s = root(m + i).conj();
      for (size_t j = j0; j < j0 + ht; ++j) {
        const Fxc x{f[j], f[j + hn]};
        const Fxc y{f[j + ht], f[j + ht + hn]};
        const Fxc z1 = (x + y).half();
        const Fxc z2 = s * (x - y).half();
        f[j] = z1.re;
        f[j + hn] = z1.im;
        f[j + ht] = z2.re;
        f[j + ht + hn] = z2.im;
      }
      j0 += t;
    }
    ht = t;
  }
}

void fxp_mul_fft(unsigned logn, Fxr* a, const Fxr* b) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const Fxc z = Fxc{a[i], a[i + hn]} * Fxc{b[i], b[i + hn]};
    a[i] = z.re;
    a[i + hn] = z.im;
  }
}

void fxp_inv_mul2e_fft(unsigned logn, Fxr* a, unsigned e) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const Fxr re = a[i];
    const Fxr im = -a[i + hn];
    const Fxr z = a[i].sqr() + a[i + hn].sqr();
    a[i] = re.mul2e(e) / z;
    a[i + hn] = im.mul2e(e) / z;
  }
}

}  // namespace fndsa::detail
