// The FFT and its inverse of fpr_fft.cpp on four doubles per register. Each
// lane performs the portable code's operations on one butterfly in the same
// order (multiplications and additions only, never fused), so the results
// are the same bits. Spans of four or more take whole registers; spans 2
// and 1 regroup two registers into their blocks' low and high halves.
#include <immintrin.h>

#include "internal.hpp"

namespace fndsa::detail {
namespace {

struct V {
  __m256d re, im;
};

// (y.re w.re - y.im w.im, y.re w.im + y.im w.re), as the portable mul().
inline V cmul(V y, V w) noexcept {
  return {_mm256_sub_pd(_mm256_mul_pd(y.re, w.re), _mm256_mul_pd(y.im, w.im)),
          _mm256_add_pd(_mm256_mul_pd(y.re, w.im), _mm256_mul_pd(y.im, w.re))};
}

inline __m256d ld(const double* p) noexcept { return _mm256_loadu_pd(p); }
inline void st(double* p, __m256d v) noexcept { _mm256_storeu_pd(p, v); }

// Root k of the table as (re, im) broadcast, or four roots lane by lane.
inline V root1(const double* t, size_t k) noexcept { return {_mm256_set1_pd(t[2 * k]), _mm256_set1_pd(t[2 * k + 1])}; }
inline V root4(const double* t, size_t k0, size_t k1, size_t k2, size_t k3) noexcept {
  return {_mm256_setr_pd(t[2 * k0], t[2 * k1], t[2 * k2], t[2 * k3]),
          _mm256_setr_pd(t[2 * k0 + 1], t[2 * k1 + 1], t[2 * k2 + 1], t[2 * k3 + 1])};
}

// Span 2: blocks of 4 values [l0 l1 h0 h1]; span 1: [l h] pairs.
template <unsigned H>
inline void split(__m256d A, __m256d B, __m256d& L, __m256d& Hi) noexcept {
  if constexpr (H == 2) {
    L = _mm256_permute2f128_pd(A, B, 0x20);
    Hi = _mm256_permute2f128_pd(A, B, 0x31);
  } else {
    L = _mm256_unpacklo_pd(A, B);
    Hi = _mm256_unpackhi_pd(A, B);
  }
}
template <unsigned H>
inline void join(__m256d L, __m256d Hi, __m256d& A, __m256d& B) noexcept {
  if constexpr (H == 2) {
    A = _mm256_permute2f128_pd(L, Hi, 0x20);
    B = _mm256_permute2f128_pd(L, Hi, 0x31);
  } else {
    A = _mm256_unpacklo_pd(L, Hi);
    B = _mm256_unpackhi_pd(L, Hi);
  }
}
// The roots of the blocks in the lanes of L, from the first block's index.
template <unsigned H>
inline V pair_roots(const double* t, size_t k) noexcept {
  if constexpr (H == 2)
    return root4(t, k, k, k + 1, k + 1);
  else
    return root4(t, k, k + 2, k + 1, k + 3);
}

template <unsigned H>
void small_forward(const double* t, double* re, double* im, size_t hn) noexcept {
  const size_t blocks = hn / (2 * H);
  for (size_t i = 0; i < hn; i += 8) {
    V x, y;
    split<H>(ld(re + i), ld(re + i + 4), x.re, y.re);
    split<H>(ld(im + i), ld(im + i + 4), x.im, y.im);
    const V z = cmul(y, pair_roots<H>(t, 2 * blocks + i / (2 * H)));
    __m256d a, b;
    join<H>(_mm256_add_pd(x.re, z.re), _mm256_sub_pd(x.re, z.re), a, b);
    st(re + i, a);
    st(re + i + 4, b);
    join<H>(_mm256_add_pd(x.im, z.im), _mm256_sub_pd(x.im, z.im), a, b);
    st(im + i, a);
    st(im + i + 4, b);
  }
}

// (s, d) -> (s + d, (s - d) conj(w)), conj(w) = (w.re, -w.im) as in the
// portable code.
inline V conj(V w) noexcept { return {w.re, _mm256_xor_pd(w.im, _mm256_set1_pd(-0.0))}; }

template <unsigned H>
void small_inverse(const double* t, double* re, double* im, size_t hn) noexcept {
  const size_t blocks = hn / (2 * H);
  for (size_t i = 0; i < hn; i += 8) {
    V s, d;
    split<H>(ld(re + i), ld(re + i + 4), s.re, d.re);
    split<H>(ld(im + i), ld(im + i + 4), s.im, d.im);
    const V z =
        cmul({_mm256_sub_pd(s.re, d.re), _mm256_sub_pd(s.im, d.im)}, conj(pair_roots<H>(t, 2 * blocks + i / (2 * H))));
    __m256d a, b;
    join<H>(_mm256_add_pd(s.re, d.re), z.re, a, b);
    st(re + i, a);
    st(re + i + 4, b);
    join<H>(_mm256_add_pd(s.im, d.im), z.im, a, b);
    st(im + i, a);
    st(im + i + 4, b);
  }
}

}  // namespace

void fft_avx2(unsigned logn, double* f) noexcept {
  const double* t = fft_root_table();
  const size_t hn = size_t{1} << (logn - 1);
  double* im = f + hn;
  size_t blocks = 1, h = hn >> 1;
  for (; h >= 4; blocks <<= 1, h >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const V w = root1(t, 2 * blocks + b);
      for (size_t j = 2 * h * b; j < 2 * h * b + h; j += 4) {
        const V z = cmul({ld(f + j + h), ld(im + j + h)}, w);
        const __m256d xr = ld(f + j), xi = ld(im + j);
        st(f + j, _mm256_add_pd(xr, z.re));
        st(im + j, _mm256_add_pd(xi, z.im));
        st(f + j + h, _mm256_sub_pd(xr, z.re));
        st(im + j + h, _mm256_sub_pd(xi, z.im));
      }
    }
  }
  small_forward<2>(t, f, im, hn);
  small_forward<1>(t, f, im, hn);
}

void ifft_avx2(unsigned logn, double* f) noexcept {
  const double* t = fft_root_table();
  const size_t n = size_t{1} << logn, hn = n >> 1;
  double* im = f + hn;
  small_inverse<1>(t, f, im, hn);
  small_inverse<2>(t, f, im, hn);
  for (size_t h = 4, blocks = hn >> 3; blocks >= 1; h <<= 1, blocks >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const V w = conj(root1(t, 2 * blocks + b));
      for (size_t j = 2 * h * b; j < 2 * h * b + h; j += 4) {
        const __m256d sr = ld(f + j), si = ld(im + j), dr = ld(f + j + h), di = ld(im + j + h);
        st(f + j, _mm256_add_pd(sr, dr));
        st(im + j, _mm256_add_pd(si, di));
        const V z = cmul({_mm256_sub_pd(sr, dr), _mm256_sub_pd(si, di)}, w);
        st(f + j + h, z.re);
        st(im + j + h, z.im);
      }
    }
  }
  double scale = 1.0;
  for (unsigned i = 1; i < logn; ++i) scale *= 0.5;
  const __m256d s = _mm256_set1_pd(scale);
  for (size_t i = 0; i < n; i += 4) st(f + i, _mm256_mul_pd(ld(f + i), s));
}

}  // namespace fndsa::detail
