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
#include "fpr_fft_poly.hpp"
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

using fp::Cplx;
using fp::mul;
using fp::mul_conj;
inline Cplx root(size_t k) noexcept { return fp::root(kRoot, k); }

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
  fp::add(logn, a, b);
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
  fp::mul(logn, a, b);
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

// LDL*, split and merge: see fpr_fft_poly.hpp.
void fpoly_ldl(unsigned logn, const double* g00, double* g01, double* g11) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_ldl_avx2(logn, g00, g01, g11);
  fp::ldl(logn, g00, g01, g11);
}

void fpoly_split(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_split_avx2(logn, f0, f1, f);
  fp::split(kRoot, logn, f0, f1, f);
}

void fpoly_split_real(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_split_real_avx2(logn, f0, f1, f);
  fp::split_real(kRoot, logn, f0, f1, f);
}

void fpoly_merge(unsigned logn, double* f, const double* f0, const double* f1) noexcept {
  if (logn >= 4 && use_avx2()) return fpoly_merge_avx2(logn, f, f0, f1);
  fp::merge(kRoot, logn, f, f0, f1);
}

}  // namespace fndsa::detail
