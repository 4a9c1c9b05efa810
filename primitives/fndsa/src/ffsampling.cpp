// The recursion of fast Fourier sampling. With G = L D L* (L unit lower
// triangular with entry l10, D = diag(d00, d11)), the second coordinate is
// sampled first against d11, the first one is then moved by
// (t1 - z1) l10 and sampled against d00. Each d splits, as a polynomial in
// X^2, into even and odd parts (a, b), and the half-size problem has the
// Gram matrix [[a, b], [adj b, a]]; so the tree is built on the way down.
#include "ffsampling.hpp"

#include <cstring>

#include "fpr_fft_poly.hpp"

namespace fndsa::detail {
namespace {

constexpr double kInvSigma = scaled(6956347512113097, -60);  // 1/sigma for n = 512

void copy(double* d, const double* s, size_t n) noexcept { std::memcpy(d, s, n * sizeof(double)); }

// Degree 2: one complex value per polynomial, the 2 x 2 decomposition
// inline, then four integer samples.
void leaf(GaussSampler& gs, double* t0, double* t1, const double* g00, const double* g01, const double* g11) noexcept {
  const double inv_g00 = 1.0 / g00[0];
  const double mu_re = g01[0] * inv_g00, mu_im = g01[1] * inv_g00;
  const double d11 = g11[0] - (mu_re * g01[0] + mu_im * g01[1]);
  const double l_re = mu_re, l_im = -mu_im;
  const double c0 = t1[0], c1 = t1[1];
  double s = fsqrt(d11) * kInvSigma;
  const double y0 = static_cast<double>(gs.sample(c0, s));
  const double y1 = static_cast<double>(gs.sample(c1, s));
  const double e_re = c0 - y0, e_im = c1 - y1;
  const double x0 = t0[0] + (e_re * l_re - e_im * l_im);
  const double x1 = t0[1] + (e_re * l_im + e_im * l_re);
  t1[0] = y0;
  t1[1] = y1;
  s = fsqrt(g00[0]) * kInvSigma;
  t0[0] = static_cast<double>(gs.sample(x0, s));
  t0[1] = static_cast<double>(gs.sample(x1, s));
}

// The operations of one level: dispatched (AVX2 where it pays) at
// run-time degrees, and inline for the lowest levels, whose degree is a
// constant so that everything unrolls in place. Both give the same bits.
struct Dispatched {
  static void ldl(unsigned logn, const double* g00, double* g01, double* g11) noexcept {
    fpoly_ldl(logn, g00, g01, g11);
  }
  static void split(unsigned logn, double* f0, double* f1, const double* f) noexcept { fpoly_split(logn, f0, f1, f); }
  static void split_real(unsigned logn, double* f0, double* f1, const double* f) noexcept {
    fpoly_split_real(logn, f0, f1, f);
  }
  static void merge(unsigned logn, double* f, const double* f0, const double* f1) noexcept {
    fpoly_merge(logn, f, f0, f1);
  }
  static void mul(unsigned logn, double* a, const double* b) noexcept { fpoly_mul(logn, a, b); }
  static void add(unsigned logn, double* a, const double* b) noexcept { fpoly_add(logn, a, b); }
};

struct Inline {
  static void ldl(unsigned logn, const double* g00, double* g01, double* g11) noexcept { fp::ldl(logn, g00, g01, g11); }
  static void split(unsigned logn, double* f0, double* f1, const double* f) noexcept {
    fp::split(fft_root_table(), logn, f0, f1, f);
  }
  static void split_real(unsigned logn, double* f0, double* f1, const double* f) noexcept {
    fp::split_real(fft_root_table(), logn, f0, f1, f);
  }
  static void merge(unsigned logn, double* f, const double* f0, const double* f1) noexcept {
    fp::merge(fft_root_table(), logn, f, f0, f1);
  }
  static void mul(unsigned logn, double* a, const double* b) noexcept { fp::mul(logn, a, b); }
  static void add(unsigned logn, double* a, const double* b) noexcept { fp::add(logn, a, b); }
};

// d (self-adjoint, n values) to the half-size Gram matrix (a, b, a) in
// place: a in both halves of d, b into `b`, with hn doubles of `scratch`.
template <class Ops>
[[gnu::always_inline]] inline void half_gram(unsigned logn, double* d, double* b, double* scratch) noexcept {
  const size_t hn = size_t{1} << (logn - 1);
  Ops::split_real(logn, scratch, b, d);
  copy(d, scratch, hn);
  copy(d + hn, scratch, hn);
}

// One level above the leaves; `child` samples the half-size problems.
// tmp: l10 (n), then a work area (n), then the subtree's own space.
template <class Ops, class Child>
[[gnu::always_inline]] inline void node(unsigned logn, double* t0, double* t1, double* g00, double* g01, double* g11,
                                        double* tmp, Child&& child) noexcept {
  const size_t n = size_t{1} << logn, hn = n >> 1;
  double* l10 = tmp;
  double* work = tmp + n;
  double* below = tmp + 2 * n;

  Ops::ldl(logn, g00, g01, g11);  // g00 = d00, g01 = l10, g11 = d11
  copy(l10, g01, n);
  // Left Gram matrix in (g00[0..hn), g01[0..hn), g00[hn..n)), right one in
  // (g11[0..hn), g01[hn..n), g11[hn..n)); `below` is free until the calls.
  half_gram<Ops>(logn, g00, g01, below);
  half_gram<Ops>(logn, g11, g01 + hn, below);

  // Second coordinate.
  Ops::split(logn, work, work + hn, t1);
  child(work, work + hn, g11, g01 + hn, g11 + hn, below);
  double* z1 = below;
  Ops::merge(logn, z1, work, work + hn);
  // t0 += (t1 - z1) l10, t1 = z1.
  for (size_t i = 0; i < n; ++i) {
    work[i] = t1[i] - z1[i];
    t1[i] = z1[i];
  }
  Ops::mul(logn, l10, work);
  Ops::add(logn, t0, l10);
  // First coordinate.
  Ops::split(logn, work, work + hn, t0);
  child(work, work + hn, g00, g01, g00 + hn, below);
  Ops::merge(logn, t0, work, work + hn);
}

template <unsigned L>
void ff_small(GaussSampler& gs, double* t0, double* t1, double* g00, double* g01, double* g11, double* tmp) noexcept {
  if constexpr (L == 1) {
    leaf(gs, t0, t1, g00, g01, g11);
  } else {
    node<Inline>(L, t0, t1, g00, g01, g11, tmp,
                 [&gs](double* a0, double* a1, double* h00, double* h01, double* h11, double* t) {
                   ff_small<L - 1>(gs, a0, a1, h00, h01, h11, t);
                 });
  }
}

}  // namespace

// FIPS 206 / Falcon: ffSampling, with the LDL* tree (ffLDL*) built on the way down.
void ff_sample(GaussSampler& gs, unsigned logn, double* t0, double* t1, double* g00, double* g01, double* g11,
               double* tmp) noexcept {
  switch (logn) {
    case 1: return ff_small<1>(gs, t0, t1, g00, g01, g11, tmp);
    case 2: return ff_small<2>(gs, t0, t1, g00, g01, g11, tmp);
    case 3: return ff_small<3>(gs, t0, t1, g00, g01, g11, tmp);
    default: break;
  }
  node<Dispatched>(logn, t0, t1, g00, g01, g11, tmp,
                   [&gs, logn](double* a0, double* a1, double* h00, double* h01, double* h11, double* t) {
                     ff_sample(gs, logn - 1, a0, a1, h00, h01, h11, t);
                   });
}

}  // namespace fndsa::detail
