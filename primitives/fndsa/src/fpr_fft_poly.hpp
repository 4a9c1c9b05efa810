// The portable FFT-domain polynomial operations as inline functions, so that
// callers with a fixed small degree (the lowest levels of fast Fourier
// sampling) get them unrolled in place; fpr_fft.cpp's fpoly_* run the same
// code. `roots` is fft_root_table().
#pragma once

#include <cstddef>

namespace fndsa::detail::fp {

struct Cplx {
  double re, im;
};
inline Cplx mul(Cplx a, Cplx b) noexcept { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline Cplx mul_conj(Cplx a, Cplx b) noexcept { return {a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im}; }
inline Cplx root(const double* roots, size_t k) noexcept { return {roots[2 * k], roots[2 * k + 1]}; }

inline void add(unsigned logn, double* a, const double* b) noexcept {
  for (size_t i = 0; i < (size_t{1} << logn); ++i) a[i] += b[i];
}

inline void mul(unsigned logn, double* a, const double* b) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  for (size_t i = 0; i < hn; ++i) {
    const Cplx z = mul(Cplx{a[i], a[i + hn]}, Cplx{b[i], b[i + hn]});
    a[i] = z.re;
    a[i + hn] = z.im;
  }
}

// G = [[g00, g01], [adj g01, g11]] = L D L*: g01 becomes l10 = adj(g01 /
// g00) and g11 becomes d11 = g11 - |g01|^2 / g00 (g00 = d00 stays).
// FIPS 206 / Falcon: LDL*, one level.
inline void ldl(unsigned logn, const double* g00, double* g01, double* g11) noexcept {
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
inline void split(const double* roots, unsigned logn, double* f0, double* f1, const double* f) noexcept {
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
    const Cplx u = mul_conj(Cplx{ar - br, ai - bi}, root(roots, hn + i));
    f1[i] = u.re * 0.5;
    f1[i + qn] = u.im * 0.5;
  }
}

// The same for a self-adjoint f (real in FFT form).
inline void split_real(const double* roots, unsigned logn, double* f0, double* f1, const double* f) noexcept {
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
    const Cplx w = root(roots, hn + i);
    f1[i] = d * w.re;
    f1[i + qn] = d * -w.im;
  }
}

// The inverse of the split: f(+-w) = f0(w^2) +- w f1(w^2).
// FIPS 206 / Falcon: mergefft.
inline void merge(const double* roots, unsigned logn, double* f, const double* f0, const double* f1) noexcept {
  if (logn == 1) {
    f[0] = f0[0];
    f[1] = f1[0];
    return;
  }
  const size_t hn = size_t{1} << (logn - 1), qn = hn >> 1;
  for (size_t i = 0; i < qn; ++i) {
    const double ar = f0[i], ai = f0[i + qn];
    const Cplx b = mul(Cplx{f1[i], f1[i + qn]}, root(roots, hn + i));
    f[2 * i] = ar + b.re;
    f[2 * i + hn] = ai + b.im;
    f[2 * i + 1] = ar - b.re;
    f[2 * i + 1 + hn] = ai - b.im;
  }
}

}  // namespace fndsa::detail::fp
