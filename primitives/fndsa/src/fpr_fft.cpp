// The FFT over R[X]/(X^512 + 1) in binary64, for signing. The order of every
// floating-point operation is fixed here (and the build forbids contraction
// into FMA), so that all platforms produce the same signatures.
//
// FFT form: the values at the roots w of X^n + 1 with positive imaginary
// part, real parts in [0, n/2) and imaginary parts in [n/2, n); the other
// half are conjugates. Products of polynomials are pointwise there, and
// adj(a) (a(1/X)) is the pointwise conjugate.
#include <cmath>

#include "dispatch.hpp"
#include "fpr_fft_avx2.hpp"
#include "internal.hpp"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace fndsa::detail {
namespace {

// cos and sin of rev10(k) pi / 1024, interleaved.
alignas(16) constexpr double kRoot[2048] = {
#include "fpr_roots.inc"
};

struct Cplx {
  double re, im;
};
inline Cplx root(size_t k) noexcept { return {kRoot[2 * k], kRoot[2 * k + 1]}; }
inline Cplx mul(Cplx a, Cplx b) noexcept { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline Cplx mul_conj(Cplx a, Cplx b) noexcept { return {a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im}; }

}  // namespace

// Round to nearest, ties to even: the processor's conversion in its default
// mode.
int64_t rint(double x) noexcept {
#if defined(__x86_64__)
  return _mm_cvtsd_si64(_mm_set_sd(x));
#else
  return std::llrint(x);
#endif
}

double fsqrt(double x) noexcept {
#if defined(__x86_64__)
  return _mm_cvtsd_f64(_mm_sqrt_pd(_mm_set_sd(x)));
#else
  return std::sqrt(x);
#endif
}

const double* fft_root_table() noexcept { return kRoot; }

void fft(unsigned logn, double* f) noexcept {
  if (logn >= 4 && use_avx2()) return fft_avx2(logn, f);
  fft_portable(logn, f);
}

void ifft(unsigned logn, double* f) noexcept {
  if (logn >= 4 && use_avx2()) return ifft_avx2(logn, f);
  ifft_portable(logn, f);
}

// Level by level, each block of 2h values (x, y) becomes (x + w y, x - w y)
// for the block's root w.
// FIPS 206 / Falcon: FFT.
void fft_portable(unsigned logn, double* f) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  double* im = f + hn;
  for (size_t blocks = 1, h = hn >> 1; h >= 1; blocks <<= 1, h >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const Cplx w = root(2 * blocks + b);
      for (size_t j = 2 * h * b; j < 2 * h * b + h; ++j) {
        const Cplx z = mul({f[j + h], im[j + h]}, w);
        const double xr = f[j], xi = im[j];
        f[j] = xr + z.re;
        im[j] = xi + z.im;
        f[j + h] = xr - z.re;
        im[j + h] = xi - z.im;
      }
    }
  }
}

// The levels undone in reverse, (s, d) -> (s + d, (s - d) conj(w)); the
// factors 1/2 of all levels are applied together at the end.
// FIPS 206 / Falcon: FFT^-1.
void ifft_portable(unsigned logn, double* f) noexcept {
  const size_t n = size_t{1} << logn, hn = n >> 1;
  double* im = f + hn;
  for (size_t h = 1, blocks = hn >> 1; blocks >= 1; h <<= 1, blocks >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const Cplx w = root(2 * blocks + b);
      for (size_t j = 2 * h * b; j < 2 * h * b + h; ++j) {
        const double sr = f[j], si = im[j], dr = f[j + h], di = im[j + h];
        f[j] = sr + dr;
        im[j] = si + di;
        const Cplx z = mul({sr - dr, si - di}, {w.re, -w.im});
        f[j + h] = z.re;
        im[j + h] = z.im;
      }
    }
  }
  double scale = 1.0;
  for (unsigned i = 1; i < logn; ++i) scale *= 0.5;
  for (size_t i = 0; i < n; ++i) f[i] *= scale;
}

void fpoly_from_small(unsigned logn, double* d, const int8_t* f) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) d[i] = static_cast<double>(f[i]);
}

void fpoly_add(unsigned logn, double* a, const double* b) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_add_avx2(logn, a, b);
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] += b[i];
}

void fpoly_neg(unsigned logn, double* a) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] = -a[i];
}

void fpoly_scale(unsigned logn, double* a, double x) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_scale_avx2(logn, a, x);
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] *= x;
}

void fpoly_mul(unsigned logn, double* a, const double* b) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_mul_avx2(logn, a, b);
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const Cplx z = mul({a[i], a[i + hn]}, {b[i], b[i + hn]});
    a[i] = z.re;
    a[i + hn] = z.im;
  }
}

void fpoly_mul_adj(unsigned logn, double* a, const double* b) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_mul_adj_avx2(logn, a, b);
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const Cplx z = mul_conj({a[i], a[i + hn]}, {b[i], b[i + hn]});
    a[i] = z.re;
    a[i + hn] = z.im;
  }
}

void fpoly_norm_sq(unsigned logn, double* a) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_norm_sq_avx2(logn, a);
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    a[i] = a[i] * a[i] + a[i + hn] * a[i + hn];
    a[i + hn] = 0.0;
  }
}

// G = [[g00, g01], [adj g01, g11]] = L D L*: g01 becomes l10 = adj(g01 /
// g00) and g11 becomes d11 = g11 - |g01|^2 / g00 (g00 = d00 stays).
// FIPS 206 / Falcon: LDL*, one level.
void fpoly_ldl(unsigned logn, const double* g00, double* g01, double* g11) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_ldl_avx2(logn, g00, g01, g11);
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const double inv = 1.0 / g00[i];
    const double mr = g01[i] * inv, mi = g01[i + hn] * inv;
    g11[i] = g11[i] - (mr * g01[i] + mi * g01[i + hn]);
    g01[i] = mr;
    g01[i + hn] = -mi;
  }
}

// f(X) = f0(X^2) + X f1(X^2): at the pair of roots (w, -w) of X^n + 1,
// f0(w^2) = (f(w) + f(-w)) / 2 and f1(w^2) = (f(w) - f(-w)) / (2 w). In FFT
// form the pair sits at 2i, 2i + 1 with w the root of index n/2 + i.
// FIPS 206 / Falcon: splitfft.
void fpoly_split(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_split_avx2(logn, f0, f1, f);
  if (logn == 1) {
    f0[0] = f[0];
    f1[0] = f[1];
    return;
  }
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double ar = f[2 * i], ai = f[2 * i + hn], br = f[2 * i + 1], bi = f[2 * i + 1 + hn];
    f0[i] = (ar + br) * 0.5;
    f0[i + qn] = (ai + bi) * 0.5;
    const Cplx u = mul_conj({ar - br, ai - bi}, root(hn + i));
    f1[i] = u.re * 0.5;
    f1[i + qn] = u.im * 0.5;
  }
}

// The same for a self-adjoint f (real in FFT form).
void fpoly_split_real(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_split_real_avx2(logn, f0, f1, f);
  if (logn == 1) {
    f0[0] = f[0];
    f1[0] = 0.0;
    return;
  }
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double a = f[2 * i], b = f[2 * i + 1];
    f0[i] = (a + b) * 0.5;
    f0[i + qn] = 0.0;
    const double d = (a - b) * 0.5;
    const Cplx w = root(hn + i);
    f1[i] = d * w.re;
    f1[i + qn] = d * -w.im;
  }
}

// The inverse of the split: f(+-w) = f0(w^2) +- w f1(w^2).
// FIPS 206 / Falcon: mergefft.
void fpoly_merge(unsigned logn, double* f, const double* f0, const double* f1) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_merge_avx2(logn, f, f0, f1);
  if (logn == 1) {
    f[0] = f0[0];
    f[1] = f1[0];
    return;
  }
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double ar = f0[i], ai = f0[i + qn];
    const Cplx b = mul({f1[i], f1[i + qn]}, root(hn + i));
    f[2 * i] = ar + b.re;
    f[2 * i + hn] = ai + b.im;
    f[2 * i + 1] = ar - b.re;
    f[2 * i + 1 + hn] = ai - b.im;
  }
}

}  // namespace fndsa::detail
