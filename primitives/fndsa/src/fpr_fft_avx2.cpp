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

// ---- pointwise operations and the split / merge of fpr_fft.cpp ----
namespace fndsa::detail {
namespace {

// The table's interleaved (cos, sin) of roots k .. k+3, as two registers.
inline V roots4(const double* t, size_t k) noexcept {
  const __m256d a = ld(t + 2 * k), b = ld(t + 2 * k + 4);
  // unpack gives lanes (k, k+2, k+1, k+3); the permutation restores order.
  return {_mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), 0xD8), _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), 0xD8)};
}

// Values 2i .. 2i+7 of f as (even, odd) lanes i .. i+3.
inline void deinterleave(const double* p, __m256d& even, __m256d& odd) noexcept {
  const __m256d a = ld(p), b = ld(p + 4);
  even = _mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), 0xD8);
  odd = _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), 0xD8);
}

// The inverse: p[2i] = even lane i, p[2i + 1] = odd lane i.
inline void interleave(double* p, __m256d even, __m256d odd) noexcept {
  const __m256d lo = _mm256_unpacklo_pd(even, odd), hi = _mm256_unpackhi_pd(even, odd);
  st(p, _mm256_permute2f128_pd(lo, hi, 0x20));
  st(p + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
}

}  // namespace

void fpoly_add_avx2(unsigned logn, double* a, const double* b) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); i += 4) st(a + i, _mm256_add_pd(ld(a + i), ld(b + i)));
}

void fpoly_scale_avx2(unsigned logn, double* a, double x) noexcept {
  const __m256d s = _mm256_set1_pd(x);
  for (size_t i = 0; i < (size_t{1} << logn); i += 4) st(a + i, _mm256_mul_pd(ld(a + i), s));
}

void fpoly_mul_avx2(unsigned logn, double* a, const double* b) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; i += 4) {
    const V z = cmul({ld(a + i), ld(a + i + hn)}, {ld(b + i), ld(b + i + hn)});
    st(a + i, z.re);
    st(a + i + hn, z.im);
  }
}

// (a.re b.re + a.im b.im, a.im b.re - a.re b.im), as the portable mul_conj().
void fpoly_mul_adj_avx2(unsigned logn, double* a, const double* b) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; i += 4) {
    const __m256d ar = ld(a + i), ai = ld(a + i + hn), br = ld(b + i), bi = ld(b + i + hn);
    st(a + i, _mm256_add_pd(_mm256_mul_pd(ar, br), _mm256_mul_pd(ai, bi)));
    st(a + i + hn, _mm256_sub_pd(_mm256_mul_pd(ai, br), _mm256_mul_pd(ar, bi)));
  }
}

void fpoly_norm_sq_avx2(unsigned logn, double* a) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; i += 4) {
    const __m256d re = ld(a + i), im = ld(a + i + hn);
    st(a + i, _mm256_add_pd(_mm256_mul_pd(re, re), _mm256_mul_pd(im, im)));
    st(a + i + hn, _mm256_setzero_pd());
  }
}

void fpoly_ldl_avx2(unsigned logn, const double* g00, double* g01, double* g11) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  const __m256d one = _mm256_set1_pd(1.0), sign = _mm256_set1_pd(-0.0);
  for (size_t i = 0; i < hn; i += 4) {
    const __m256d inv = _mm256_div_pd(one, ld(g00 + i));
    const __m256d br = ld(g01 + i), bi = ld(g01 + i + hn);
    const __m256d mr = _mm256_mul_pd(br, inv), mi = _mm256_mul_pd(bi, inv);
    st(g11 + i, _mm256_sub_pd(ld(g11 + i), _mm256_add_pd(_mm256_mul_pd(mr, br), _mm256_mul_pd(mi, bi))));
    st(g01 + i, mr);
    st(g01 + i + hn, _mm256_xor_pd(mi, sign));
  }
}

void fpoly_split_avx2(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  const double* t = fft_root_table();
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  const __m256d half = _mm256_set1_pd(0.5);
  for (size_t i = 0; i < qn; i += 4) {
    __m256d ar, br, ai, bi;
    deinterleave(f + 2 * i, ar, br);
    deinterleave(f + 2 * i + hn, ai, bi);
    st(f0 + i, _mm256_mul_pd(_mm256_add_pd(ar, br), half));
    st(f0 + i + qn, _mm256_mul_pd(_mm256_add_pd(ai, bi), half));
    const __m256d dr = _mm256_sub_pd(ar, br), di = _mm256_sub_pd(ai, bi);
    const V w = roots4(t, hn + i);
    const __m256d ur = _mm256_add_pd(_mm256_mul_pd(dr, w.re), _mm256_mul_pd(di, w.im));
    const __m256d ui = _mm256_sub_pd(_mm256_mul_pd(di, w.re), _mm256_mul_pd(dr, w.im));
    st(f1 + i, _mm256_mul_pd(ur, half));
    st(f1 + i + qn, _mm256_mul_pd(ui, half));
  }
}

void fpoly_split_real_avx2(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  const double* t = fft_root_table();
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  const __m256d half = _mm256_set1_pd(0.5), sign = _mm256_set1_pd(-0.0);
  for (size_t i = 0; i < qn; i += 4) {
    __m256d a, b;
    deinterleave(f + 2 * i, a, b);
    st(f0 + i, _mm256_mul_pd(_mm256_add_pd(a, b), half));
    st(f0 + i + qn, _mm256_setzero_pd());
    const __m256d d = _mm256_mul_pd(_mm256_sub_pd(a, b), half);
    const V w = roots4(t, hn + i);
    st(f1 + i, _mm256_mul_pd(d, w.re));
    st(f1 + i + qn, _mm256_mul_pd(d, _mm256_xor_pd(w.im, sign)));
  }
}

void fpoly_merge_avx2(unsigned logn, double* f, const double* f0, const double* f1) noexcept {
  const double* t = fft_root_table();
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  for (size_t i = 0; i < qn; i += 4) {
    const __m256d ar = ld(f0 + i), ai = ld(f0 + i + qn);
    const V b = cmul({ld(f1 + i), ld(f1 + i + qn)}, roots4(t, hn + i));
    interleave(f + 2 * i, _mm256_add_pd(ar, b.re), _mm256_sub_pd(ar, b.re));
    interleave(f + 2 * i + hn, _mm256_add_pd(ai, b.im), _mm256_sub_pd(ai, b.im));
  }
}

}  // namespace fndsa::detail
