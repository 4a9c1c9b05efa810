// The tower of field norms, the Bezout step at its bottom, and the solver's
// driver.
//
// One level down, N(a) has the coefficients of a(X) a(-X) at even powers.
// In NTT form (values at the roots of X^n + 1, listed so that entries 2j and
// 2j + 1 are the values at w and -w) it is the product of the two entries
// of each pair, which is N(a) at the root w^2 of X^(n/2) + 1. The products
// are taken modulo as many primes as the next level's coefficients need
// and joined by the Chinese remainder theorem.
#include <cstring>
#include <memory>

#include "bigint.hpp"
#include "modp.hpp"
#include "ntru.hpp"
#include "subtle/ct_marks.hpp"

namespace fndsa::kgen {

NormTower::NormTower()
    : store_([] {
        size_t total = 0;
        for (unsigned d = 0; d <= kDepth; ++d) total += 2 * (size_t{512} >> d) * kNormLimbs[d];
        return total;
      }()) {
  size_t off = 0;
  for (unsigned d = 0; d <= kDepth; ++d) {
    half_[d] = (size_t{512} >> d) * kNormLimbs[d];
    offset_[d] = off;
    off += 2 * half_[d];
  }
}

void NormTower::build(const int8_t* f0, const int8_t* g0) noexcept {
  for (size_t j = 0; j < 512; ++j) {
    f_mut(0)[j] = static_cast<uint32_t>(f0[j]) & kLimbMask;
    g_mut(0)[j] = static_cast<uint32_t>(g0[j]) & kLimbMask;
  }
  // Residues of the next level (prime-major), one transform and the CRT work.
  Words scratch(2 * 256 + 512 + crt_work_len(kNormLimbs[kDepth]));
  for (unsigned d = 0; d < kDepth; ++d) {
    const unsigned logn = kDepth - d;
    const size_t n = size_t{1} << logn, hn = n / 2;
    const size_t slen = kNormLimbs[d], tlen = kNormLimbs[d + 1];
    const bool bottom = d + 1 == kDepth;  // the two integers are positive there
    for (int which = 0; which < 2; ++which) {
      const uint32_t* src = which ? g(d) : f(d);
      uint32_t* dst = which ? g_mut(d + 1) : f_mut(d + 1);
      uint32_t* res = scratch.data();  // tlen * hn <= 256 words at every depth
      uint32_t* a = res + 2 * 256;     // tlen * n <= 512 words
      uint32_t* work = a + 512;
      residues_by_prime(src, slen, n, tlen, a);
      for (size_t i = 0; i < tlen; ++i) {
        const PrimeCtx& pc = prime(i);
        uint32_t* ai = a + i * n;
        ntt(pc, ai, logn);
        uint32_t* r = res + i * hn;
        for (size_t j = 0; j < hn; ++j) r[j] = pc.m.mont(ai[2 * j], ai[2 * j + 1]);
        intt(pc, r, logn - 1, true);
      }
      crt_rebuild(res, hn, tlen, !bottom, hn, dst, tlen, work);
    }
  }
}

// With x = N(f) and y = N(g) at the bottom, v = 1/y mod x gives
// x u - y (x - v) = 1 for some u; so F = q (x - v) (and G = q u, never
// needed). Both integers are positive; the inversion needs x odd, and a
// pair with an even y is refused as well.
bool solve_bottom(const NormTower& t, uint32_t* F) noexcept {
  constexpr size_t len = kNormLimbs[kDepth];
  const uint32_t* x = t.f(kDepth);
  const uint32_t* y = t.g(kDepth);
  // The verdicts that end solving refuse the candidate (f, g) (see
  // keygen.cpp), so they are public.
  if (subtle::public_value((x[0] & y[0] & 1) == 0)) return false;
  Words inv(len);
  if (!subtle::public_value(mod_inverse(inv.data(), y, x, len))) return false;
  uint32_t borrow = 0;
  for (size_t j = 0; j < len; ++j) {
    const uint32_t d = x[j] - inv.data()[j] - borrow;
    F[j] = d & kLimbMask;
    borrow = d >> 31;
  }
  uint64_t carry = 0;
  for (size_t j = 0; j < len; ++j) {
    const uint64_t z = static_cast<uint64_t>(F[j]) * 12289 + carry;
    F[j] = static_cast<uint32_t>(z) & kLimbMask;
    carry = z >> 31;
  }
  return subtle::public_value(carry == 0);
}

// FIPS 206 / Falcon: NTRUSolve.
bool solve_ntru(const int8_t* f, const int8_t* g, int8_t* F, int8_t* G) noexcept {
  auto tower = std::make_unique<NormTower>();
  tower->build(f, g);
  // F at the current depth and at the one below, kNormLimbs[d] limbs each.
  size_t most = 0;
  for (unsigned d = 0; d <= kDepth; ++d) {
    const size_t w = (size_t{512} >> d) * kNormLimbs[d];
    most = w > most ? w : most;
  }
  Words cur(most), below(most);
  if (!solve_bottom(*tower, below.data())) return false;
  for (unsigned d = kDepth - 1; d >= 1; --d) {
    if (!lift_and_reduce(*tower, d, below.data(), cur.data())) return false;
    std::memcpy(below.data(), cur.data(), (size_t{512} >> d) * kNormLimbs[d] * sizeof(uint32_t));
  }
  return finish_top(f, g, below.data(), F, G);
}

}  // namespace fndsa::kgen
