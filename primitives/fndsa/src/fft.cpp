// Floating-point FFT over R[X]/(X^n+1) with binary64 arithmetic in a fixed
// order of operations (the build disables contraction into FMA), so that
// every platform computes the same bits.
#include <cmath>

#include "internal.hpp"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace fndsa::detail {
namespace {

// GM[2k], GM[2k+1] = cos, sin of rev10(k) * pi / 1024.
alignas(16) constexpr double GM[2048] = {
#include "fft_roots.inc"
};

inline void cmul(double& re, double& im, double are, double aim, double bre, double bim) noexcept {
  re = are * bre - aim * bim;
  im = are * bim + aim * bre;
}

}  // namespace

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

void fft(unsigned logn, double* f) noexcept {
  const size_t n = size_t{1} << logn;
  const size_t hn = n >> 1;
  size_t t = hn;
  for (unsigned lm = 1; lm < logn; ++lm) {
    const size_t m = size_t{1} << lm;
    const size_t hm = m >> 1;
    const size_t ht = t >> 1;
    size_t j0 = 0;
    for (size_t i = 0; i < hm; ++i) {
      const double s_re = GM[((m + i) << 1) + 0];
      const double s_im = GM[((m + i) << 1) + 1];
      for (size_t j = 0; j < ht; ++j) {
        const size_t j1 = j0 + j;
        const size_t j2 = j1 + ht;
        const double x_re = f[j1], x_im = f[j1 + hn];
        const double y_re = f[j2], y_im = f[j2 + hn];
        double z_re, z_im;
        cmul(z_re, z_im, y_re, y_im, s_re, s_im);
        f[j1] = x_re + z_re;
        f[j1 + hn] = x_im + z_im;
        f[j2] = x_re - z_re;
        f[j2 + hn] = x_im - z_im;
      }
      j0 += t;
    }
    t = ht;
  }
}

void ifft(unsigned logn, double* f) noexcept {
  const size_t n = size_t{1} << logn;
  const size_t hn = n >> 1;
  size_t t = 1;
  for (unsigned lm = 1; lm < logn; ++lm) {
    const size_t hm = size_t{1} << (logn - lm);
    const size_t dt = t << 1;
    size_t j0 = 0;
    for (size_t i = 0; i < (hm >> 1); ++i) {
      const double s_re = GM[((hm + i) << 1) + 0];
      const double s_im = -GM[((hm + i) << 1) + 1];
      for (size_t j = 0; j < t; ++j) {
        const size_t j1 = j0 + j;
        const size_t j2 = j1 + t;
        double x_re = f[j1], x_im = f[j1 + hn];
        const double y_re = f[j2], y_im = f[j2 + hn];
        f[j1] = x_re + y_re;
        f[j1 + hn] = x_im + y_im;
        x_re = x_re - y_re;
        x_im = x_im - y_im;
        double z_re, z_im;
        cmul(z_re, z_im, x_re, x_im, s_re, s_im);
        f[j2] = z_re;
        f[j2 + hn] = z_im;
      }
      j0 += dt;
    }
    t = dt;
  }
  double e = 1.0;
  for (unsigned i = 1; i < logn; ++i) e *= 0.5;
  for (size_t i = 0; i < n; ++i) f[i] *= e;
}

void poly_set_small(unsigned logn, double* d, const int8_t* f) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) d[i] = static_cast<double>(f[i]);
}

void poly_add(unsigned logn, double* a, const double* b) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] += b[i];
}

void poly_sub(unsigned logn, double* a, const double* b) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] -= b[i];
}

void poly_neg(unsigned logn, double* a) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] = -a[i];
}

void poly_mul_fft(unsigned logn, double* a, const double* b) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) cmul(a[i], a[i + hn], a[i], a[i + hn], b[i], b[i + hn]);
}

void poly_muladj_fft(unsigned logn, double* a, const double* b) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) cmul(a[i], a[i + hn], a[i], a[i + hn], b[i], -b[i + hn]);
}

void poly_mulownadj_fft(unsigned logn, double* a) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    a[i] = a[i] * a[i] + a[i + hn] * a[i + hn];
    a[i + hn] = 0.0;
  }
}

void poly_mulconst(unsigned logn, double* a, double x) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] *= x;
}

void poly_ldl_fft(unsigned logn, const double* g00, double* g01, double* g11) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const double g01_re = g01[i], g01_im = g01[i + hn];
    const double inv = 1.0 / g00[i];
    const double mu_re = g01_re * inv, mu_im = g01_im * inv;
    const double zo_re = mu_re * g01_re + mu_im * g01_im;
    g11[i] = g11[i] - zo_re;
    g01[i] = mu_re;
    g01[i + hn] = -mu_im;
  }
}

void poly_split_fft(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  if (logn == 1) {
    f0[0] = f[0];
    f1[0] = f[1];
    return;
  }
  const size_t hn = size_t{1} << (logn - 1);
  const size_t qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double a_re = f[(i << 1) + 0], a_im = f[(i << 1) + 0 + hn];
    const double b_re = f[(i << 1) + 1], b_im = f[(i << 1) + 1 + hn];
    f0[i] = (a_re + b_re) * 0.5;
    f0[i + qn] = (a_im + b_im) * 0.5;
    double u_re, u_im;
    cmul(u_re, u_im, a_re - b_re, a_im - b_im, GM[((i + hn) << 1) + 0], -GM[((i + hn) << 1) + 1]);
    f1[i] = u_re * 0.5;
    f1[i + qn] = u_im * 0.5;
  }
}

void poly_split_selfadj_fft(unsigned logn, double* f0, double* f1, const double* f) noexcept {
  if (logn == 1) {
    f0[0] = f[0];
    f1[0] = 0.0;
    return;
  }
  const size_t hn = size_t{1} << (logn - 1);
  const size_t qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double a_re = f[(i << 1) + 0];
    const double b_re = f[(i << 1) + 1];
    f0[i] = (a_re + b_re) * 0.5;
    f0[i + qn] = 0.0;
    const double t_re = (a_re - b_re) * 0.5;
    f1[i] = t_re * GM[((i + hn) << 1) + 0];
    f1[i + qn] = t_re * -GM[((i + hn) << 1) + 1];
  }
}

void poly_merge_fft(unsigned logn, double* f, const double* f0, const double* f1) noexcept {
  if (logn == 1) {
    f[0] = f0[0];
    f[1] = f1[0];
    return;
  }
  const size_t hn = size_t{1} << (logn - 1);
  const size_t qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double a_re = f0[i], a_im = f0[i + qn];
    double b_re, b_im;
    cmul(b_re, b_im, f1[i], f1[i + qn], GM[((i + hn) << 1) + 0], GM[((i + hn) << 1) + 1]);
    f[(i << 1) + 0] = a_re + b_re;
    f[(i << 1) + 0 + hn] = a_im + b_im;
    f[(i << 1) + 1] = a_re - b_re;
    f[(i << 1) + 1 + hn] = a_im - b_im;
  }
}

}  // namespace fndsa::detail
