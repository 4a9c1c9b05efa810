// Going up the tower: F = F'(X^2) g(-X) from the level below, then Babai
// rounding against f alone: k = round(F / f), F <- F - k f, computed in
// fixed point on the leading bits and repeated, 9 bits at a time, from the
// top of F down to the size of f. At the top level the rounding uses both
// halves of the basis, k = round((F adj f + G adj g) / (f adj f + g adj g)),
// and G comes from the equation itself: G = (q + g F) / f.
#include <cstring>

#include "bigint.hpp"
#include "fixed.hpp"
#include "modp.hpp"
#include "ntru.hpp"
#include "subtle/ct_marks.hpp"

namespace fndsa::kgen {
namespace {

// Offsets of the working arrays in one buffer.
struct LiftLayout {
  size_t fx_f, fx_k, lifted, residues, kv, prod, work, fa_all, g_all, Fb_all, total;
  LiftLayout(size_t n, size_t slen, size_t llen) {
    const size_t plen = slen + 2;
    size_t o = 0;
    fx_f = o, o += 2 * n;  // Fixed values take two words; these come first
    fx_k = o, o += 2 * n;  // to stay 8-byte aligned
    lifted = o, o += n * llen;
    residues = o, o += n * (llen > plen ? llen : plen);
    kv = o, o += 2 * n;
    prod = o, o += n * plen;
    work = o, o += crt_work_len(llen > plen ? llen : plen);
    fa_all = o, o += n * plen;
    g_all = o, o += n * llen;
    Fb_all = o, o += n * llen / 2;
    total = o;
  }
};

}  // namespace

// FIPS 206 / Falcon: NTRUSolve, one lifting step with its Babai reduction (Reduce).
bool lift_and_reduce(const NormTower& t, unsigned d, const uint32_t* F_below, uint32_t* F) noexcept {
  const unsigned logn = kDepth - d;
  const size_t n = size_t{1} << logn, hn = n / 2;
  const size_t slen = kNormLimbs[d], llen = kLiftLimbs[d], blen = slen - kTopLimbs[d];
  const size_t below_len = kNormLimbs[d + 1], plen = slen + 2;
  const uint32_t* fd = t.f(d);
  const LiftLayout L(n, slen, llen);
  Words buf(L.total);
  uint32_t* w = buf.data();
  uint32_t* lifted = w + L.lifted;
  uint32_t* res = w + L.residues;
  uint32_t* work = w + L.work;
  Fixed* inv_f = reinterpret_cast<Fixed*>(w + L.fx_f);
  Fixed* kfx = reinterpret_cast<Fixed*>(w + L.fx_k);

  // F'(X^2) g(-X): at the pair of points (w, -w) the value of F'(X^2) is F'
  // at w^2, and g(-X) takes the value of g at the other point of the pair.
  uint32_t* g_all = w + L.g_all;
  uint32_t* Fb_all = w + L.Fb_all;
  residues_by_prime(t.g(d), slen, n, llen, g_all);
  residues_by_prime(F_below, below_len, hn, llen, Fb_all);
  for (size_t i = 0; i < llen; ++i) {
    const PrimeCtx& pc = prime(i);
    uint32_t* ga = g_all + i * n;
    uint32_t* fb = Fb_all + i * hn;
    ntt(pc, ga, logn);
    ntt(pc, fb, logn - 1);
    uint32_t* r = res + i * n;
    for (size_t j = 0; j < hn; ++j) {
      r[2 * j] = pc.m.mont(ga[2 * j + 1], fb[j]);
      r[2 * j + 1] = pc.m.mont(ga[2 * j], fb[j]);
    }
    intt(pc, r, logn, true);
  }
  crt_rebuild(res, n, llen, true, n, lifted, llen, work);

  // 1/f in fixed point from the leading limbs of f: the top kTopLimbs[d]
  // limbs of every coefficient, scaled by 2^-(top_bits - inv_shift) so that
  // the largest keeps about 15 - logn bits. All of this is secret: the
  // lengths are computed and used without branches.
  uint32_t top_bits = 0;
  for (size_t j = 0; j < n; ++j) top_bits = ct::max31(top_bits, magnitude_bits(fd + j * slen + blen, slen - blen));
  const uint32_t inv_shift = ct::select(ct::lt31_mask(top_bits, 15 - logn), top_bits, 15 - logn);
  const uint32_t top_max = static_cast<uint32_t>(31 * (slen - blen));  // public bound on top_bits
  for (size_t j = 0; j < n; ++j)
    inv_f[j] = Fixed{fixed_window(fd + j * slen + blen, slen - blen, top_bits - inv_shift, top_max)};
  fixed_fft(inv_f, logn);
  fixed_inv_fft(inv_f, logn, inv_shift);

  // f modulo the primes of the products k f, when those go through the NTT.
  const bool schoolbook = n <= kSchoolbookMaxDegree;
  uint32_t* fa_all = w + L.fa_all;
  if (!schoolbook) {
    residues_by_prime(fd, slen, n, plen, fa_all);
    for (size_t i = 0; i < plen; ++i) ntt(prime(i), fa_all + i * n, logn);
  }

  const uint32_t f_scale = static_cast<uint32_t>(31 * blen);
  uint32_t F_scale = static_cast<uint32_t>(31 * llen);
  size_t Flen = llen;  // limbs of F still in use
  uint32_t fail = 0;
  for (;;) {
    // k = round(F / f) on the bits of F above F_scale; when none is left the
    // round is empty.
    const size_t skip = F_scale / 31;
    if (Flen > skip) {
      for (size_t j = 0; j < n; ++j)
        kfx[j] = Fixed{fixed_window(lifted + j * llen + skip, Flen - skip, top_bits + F_scale % 31, top_max + 30)};
      fixed_fft(kfx, logn);
      fixed_mul_fft(kfx, inv_f, logn);
      fixed_ifft(kfx, logn);
      const uint32_t shift = F_scale - f_scale;
      if (schoolbook) {
        // X^n = -1: terms that wrap change sign.
        // Each coefficient of k f is summed exactly in slen + 2 limbs (n
        // products of at most 31 + 31 slen bits), then subtracted once.
        int32_t* k = reinterpret_cast<int32_t*>(w + L.kv);
        uint32_t* acc = w + L.prod;
        for (size_t i = 0; i < n; ++i) k[i] = kfx[i].round();
        for (size_t e = 0; e < n; ++e) {
          int32_t* c = k + n;  // the signed multipliers of f's coefficients
          for (size_t i = 0; i < n; ++i)
            c[(e - i) & (n - 1)] = i <= e ? k[i] : static_cast<int32_t>(0u - static_cast<uint32_t>(k[i]));
          mul_sum(acc, slen + 2, fd, slen, c, n);
          sub_shifted(lifted + e * llen, Flen, acc, slen + 2, shift);
        }
      } else {
        uint32_t* kv = w + L.kv;
        for (size_t i = 0; i < plen; ++i) {
          const PrimeCtx& pc = prime(i);
          for (size_t j = 0; j < n; ++j) kv[j] = pc.m.from_signed(kfx[j].round());
          ntt(pc, kv, logn);
          uint32_t* r = res + i * n;
          const uint32_t* fa = fa_all + i * n;
          for (size_t j = 0; j < n; ++j) r[j] = pc.m.mont(kv[j], fa[j]);
          intt(pc, r, logn, true);
        }
        uint32_t* prod = w + L.prod;
        crt_rebuild(res, n, plen, true, n, prod, plen, work);
        for (size_t j = 0; j < n; ++j) sub_shifted(lifted + j * llen, Flen, prod + j * plen, plen, shift);
      }
    }
    if (F_scale <= f_scale) break;
    F_scale = F_scale <= f_scale + kReductionStep ? f_scale : F_scale - kReductionStep;
    // Drop the top limb once F is known to fit without it; every coefficient
    // must then have it as a plain sign extension, or the solution failed.
    while (Flen > slen && 31 * (Flen - slen) > F_scale - f_scale + 30) {
      --Flen;
      for (size_t j = 0; j < n; ++j) {
        const uint32_t* c = lifted + j * llen;
        fail |= c[Flen] ^ (sign_of(c, Flen) & kLimbMask);
      }
    }
  }
  for (size_t j = 0; j < n; ++j) std::memcpy(F + j * slen, lifted + j * llen, slen * sizeof(uint32_t));
  // A failed reduction refuses the candidate (f, g): a public verdict.
  return subtle::public_value(fail == 0);
}

bool finish_top(const int8_t* f, const int8_t* g, const uint32_t* F_below, int8_t* F, int8_t* G) noexcept {
  constexpr unsigned logn = kDepth;
  constexpr size_t n = 512, hn = 256;
  constexpr uint32_t q = 12289;
  const PrimeCtx& pc = prime(0);
  const Modp& m = pc.m;
  Words buf(10 * n);
  uint32_t* fa = buf.data();
  uint32_t* ga = fa + n;
  uint32_t* Fa = ga + n;
  uint32_t* num = Fa + n;
  uint32_t* den = num + n;
  uint32_t* fb = den + n;
  Fixed* kfx = reinterpret_cast<Fixed*>(fb + n);  // n Fixed = 2n words
  uint32_t* inv_f = fb + 3 * n;                   // 1/f at each point, Montgomery form
  uint32_t* scratch = inv_f + n;
  // Plain products: one operand goes to Montgomery form first.
  auto mul = [&](uint32_t a, uint32_t b) { return m.mont(m.to_mont(a), b); };

  for (size_t j = 0; j < n; ++j) {
    fa[j] = m.from_signed(f[j]);
    ga[j] = m.from_signed(g[j]);
  }
  for (size_t j = 0; j < hn; ++j) fb[j] = residue(m, F_below + j, 1);
  ntt(pc, fa, logn);
  ntt(pc, ga, logn);
  ntt(pc, fb, logn - 1);
  uint32_t zero = 0;
  for (size_t j = 0; j < n; ++j) zero |= ct::eq_mask(fa[j], 0);
  // f not invertible modulo this prime: the candidate is refused (public).
  if (subtle::public_value(zero) != 0) return false;
  for (size_t j = 0; j < hn; ++j) {
    Fa[2 * j] = mul(ga[2 * j + 1], fb[j]);
    Fa[2 * j + 1] = mul(ga[2 * j], fb[j]);
  }
  // At point i the adjoint takes the value at the inverse point n - 1 - i.
  // num = F adj f + G adj g and den = f adj f + g adj g, exact integers.
  invert_all(m, fa, inv_f, n, scratch);
  for (size_t i = 0; i < n; ++i) {
    const size_t c = n - 1 - i;
    const uint32_t Gi = m.mont(m.add(q, mul(ga[i], Fa[i])), inv_f[i]);
    num[i] = m.add(mul(fa[c], Fa[i]), mul(ga[c], Gi));
    den[i] = m.add(mul(fa[i], fa[c]), mul(ga[i], ga[c]));
  }
  intt(pc, num, logn, false);
  intt(pc, den, logn, false);
  // Both to fixed point scaled by 2^-10; den is self-adjoint, so its
  // transform is real and the quotient divides by its real parts only.
  for (size_t i = 0; i < n; ++i) kfx[i] = Fixed{static_cast<uint64_t>(static_cast<int64_t>(m.to_signed(num[i])) << 22)};
  Words dstore(2 * n);
  Fixed* dfx = reinterpret_cast<Fixed*>(dstore.data());
  for (size_t i = 0; i < n; ++i) dfx[i] = Fixed{static_cast<uint64_t>(static_cast<int64_t>(m.to_signed(den[i])) << 22)};
  fixed_fft(kfx, logn);
  fixed_fft(dfx, logn);
  fixed_div_all(kfx, dfx, hn);
  fixed_div_all(kfx + hn, dfx, hn);
  fixed_ifft(kfx, logn);
  uint32_t* ka = num;
  for (size_t i = 0; i < n; ++i) ka[i] = m.from_signed(kfx[i].round());
  ntt(pc, ka, logn);
  uint32_t* Ga = den;
  for (size_t i = 0; i < n; ++i) {
    Fa[i] = m.sub(Fa[i], mul(fa[i], ka[i]));
    Ga[i] = m.mont(m.add(q, mul(ga[i], Fa[i])), inv_f[i]);
  }
  intt(pc, Fa, logn, false);
  intt(pc, Ga, logn, false);
  uint32_t bad = 0;
  for (size_t i = 0; i < n; ++i) {
    const int32_t a = m.to_signed(Fa[i]), b = m.to_signed(Ga[i]);
    bad |= static_cast<uint32_t>(a + 127) | static_cast<uint32_t>(127 - a);
    bad |= static_cast<uint32_t>(b + 127) | static_cast<uint32_t>(127 - b);
    F[i] = static_cast<int8_t>(a);
    G[i] = static_cast<int8_t>(b);
  }
  return subtle::public_value((bad >> 31) == 0);  // refuses the candidate
}

}  // namespace fndsa::kgen
