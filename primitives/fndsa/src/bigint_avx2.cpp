// mul_sum() of bigint.cpp with four limbs per register. Each multiplier is
// split as c = 2^16 h + l with l in [0, 2^16), so that a limb's products by
// l and by h stay below 2^47 and sum in 64-bit lanes without carrying;
// the carries between limbs are settled once, limb by limb, at the end.
#include <immintrin.h>

#include "bigint.hpp"
#include "modp_avx2.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::kgen {

void mul_sum_avx2(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, const int32_t* c, size_t count) noexcept {
  constexpr size_t kMaxLimbs = 64;
  alignas(32) int64_t lo[kMaxLimbs], hi[kMaxLimbs];
  alignas(32) int64_t cl[16], ch[16];  // the halves of 16 multipliers at a time
  const size_t blocks = (xlen + 3) / 4;
  for (size_t t = 0; t < 4 * blocks; ++t) lo[t] = hi[t] = 0;
  // The last block holds the top limb, read as a signed 31-bit value, and
  // its lanes past the top limb are neither read nor counted; the blocks
  // below it are whole limbs.
  const size_t last = blocks - 1, tl = 4 * last;
  alignas(16) int32_t in[4], top[4];
  for (size_t l = 0; l < 4; ++l) {
    in[l] = tl + l < xlen ? -1 : 0;
    top[l] = tl + l + 1 == xlen ? -1 : 0;
  }
  const __m128i in_mask = _mm_load_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i top_mask = _mm_load_si128(reinterpret_cast<const __m128i*>(top));
  for (size_t i0 = 0; i0 < count; i0 += 16) {
    const size_t m = count - i0 < 16 ? count - i0 : 16;
    for (size_t i = 0; i < m; ++i) {
      cl[i] = c[i0 + i] & 0xFFFF;
      ch[i] = c[i0 + i] >> 16;
    }
    const uint32_t* rows = x + i0 * xlen;
    for (size_t b = 0; b < last; ++b) {
      const size_t t = 4 * b;
      __m256i sl = _mm256_load_si256(reinterpret_cast<const __m256i*>(lo + t));
      __m256i sh = _mm256_load_si256(reinterpret_cast<const __m256i*>(hi + t));
      const uint32_t* row = rows + t;
      for (size_t i = 0; i < m; ++i, row += xlen) {
        const __m256i v = _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
        sl = _mm256_add_epi64(sl, _mm256_mul_epi32(v, _mm256_set1_epi64x(cl[i])));
        sh = _mm256_add_epi64(sh, _mm256_mul_epi32(v, _mm256_set1_epi64x(ch[i])));
      }
      _mm256_store_si256(reinterpret_cast<__m256i*>(lo + t), sl);
      _mm256_store_si256(reinterpret_cast<__m256i*>(hi + t), sh);
    }
    __m256i sl = _mm256_load_si256(reinterpret_cast<const __m256i*>(lo + tl));
    __m256i sh = _mm256_load_si256(reinterpret_cast<const __m256i*>(hi + tl));
    const uint32_t* row = rows + tl;
    for (size_t i = 0; i < m; ++i, row += xlen) {
      __m128i w = _mm_maskload_epi32(reinterpret_cast<const int*>(row), in_mask);
      w = _mm_blendv_epi8(w, _mm_srai_epi32(_mm_slli_epi32(w, 1), 1), top_mask);
      const __m256i v = _mm256_cvtepi32_epi64(w);
      sl = _mm256_add_epi64(sl, _mm256_mul_epi32(v, _mm256_set1_epi64x(cl[i])));
      sh = _mm256_add_epi64(sh, _mm256_mul_epi32(v, _mm256_set1_epi64x(ch[i])));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(lo + tl), sl);
    _mm256_store_si256(reinterpret_cast<__m256i*>(hi + tl), sh);
  }
  // h 2^16 is split at bit 31: its low 15 bits join this limb, the rest the
  // next one, so every sum stays well inside 64 bits.
  int64_t carry = 0;
  for (size_t t = 0; t < alen; ++t) {
    int64_t z = carry;
    if (t < xlen) z += lo[t] + ((hi[t] & 0x7FFF) << 16);
    if (t >= 1 && t <= xlen) z += hi[t - 1] >> 15;
    acc[t] = static_cast<uint32_t>(z) & kLimbMask;
    carry = z >> 31;
  }
  // The column sums and the multipliers' halves are secret.
  zeroize::wipe(lo, 4 * blocks * sizeof(int64_t));
  zeroize::wipe(hi, 4 * blocks * sizeof(int64_t));
  zeroize::wipe(cl, sizeof cl);
  zeroize::wipe(ch, sizeof ch);
}

}  // namespace fndsa::kgen

// crt_rebuild() of bigint.cpp for eight integers at a time, one per lane.
// Garner's digits come one prime at a time as in the portable code, the
// known part modulo p_i summed term by term from the prefix products
// p_0 ... p_{j-1} mod p_i (a digit is unique, so the digits are the same
// whichever way the residue of the known part is found); then the value is evaluated
// by Horner's rule without a sign, into [0, M) (every partial value stays
// below the product of the primes used so far, so each step adds one limb
// and the limb products with their carries fit in 64 bits); the centred
// form then subtracts M under the mask of the digit comparison. The limbs
// are the two's complement of the same value, as the portable code gives.
namespace fndsa::kgen {

namespace {

using avx2::load8;
using avx2::ModpX8;
using avx2::store8;

}  // namespace

void crt_rebuild8_avx2(const uint32_t* res, size_t stride, size_t k, bool centred, uint32_t* out, size_t out_stride,
                       const uint32_t* modulus, uint32_t* work) noexcept {
  uint32_t* dig = work;          // digit j of lane l at dig[8 j + l]
  uint32_t* val = work + 8 * k;  // limb j of lane l at val[8 j + l]
  const PrimeCtx* primes = &prime(0);
  for (size_t i = 0; i < k; ++i) {
    const PrimeCtx& pc = primes[i];
    const ModpX8 m(pc.m);
    const __m256i r = load8(res + i * stride);
    if (i == 0) {
      store8(dig, r);
      continue;
    }
    // The part already known, sum of d_j p_0 ... p_{j-1} mod p_i: its terms
    // are independent, so only the additions form a chain.
    __m256i s = _mm256_setzero_si256();
    for (size_t j = 0; j < i; ++j) {
      const __m256i d = load8(dig + 8 * j);
      const __m256i folded = _mm256_min_epu32(d, _mm256_sub_epi32(d, m.p));
      s = m.add(s, m.mont(folded, _mm256_set1_epi32(static_cast<int>(pc.prefix[j]))));
    }
    store8(dig + 8 * i, m.mont(m.sub(r, s), _mm256_set1_epi32(static_cast<int>(pc.garner))));
  }
  const __m256i mask31 = _mm256_set1_epi32(static_cast<int>(kLimbMask));
  const __m256i low32 = _mm256_set1_epi64x(0xFFFFFFFF);
  __m256i greater = _mm256_setzero_si256();
  if (centred) {
    __m256i decided = _mm256_setzero_si256();
    for (size_t j = k; j-- > 0;) {
      const __m256i half = _mm256_set1_epi32(static_cast<int>((primes[j].m.p - 1) >> 1));
      const __m256i d = load8(dig + 8 * j);
      greater = _mm256_or_si256(greater, _mm256_andnot_si256(decided, _mm256_cmpgt_epi32(d, half)));
      decided = _mm256_or_si256(decided, _mm256_xor_si256(_mm256_cmpeq_epi32(d, half), _mm256_set1_epi32(-1)));
    }
  }
  store8(val, load8(dig + 8 * (k - 1)));
  size_t len = 1;
  for (size_t i = k - 1; i-- > 0;) {
    const __m256i p = _mm256_set1_epi64x(primes[i].m.p);
    const __m256i d = load8(dig + 8 * i);
    __m256i ce = _mm256_and_si256(d, low32), co = _mm256_srli_epi64(d, 32);
    for (size_t j = 0; j < len; ++j) {
      const __m256i w = load8(val + 8 * j);
      const __m256i ze = _mm256_add_epi64(_mm256_mul_epu32(w, p), ce);
      const __m256i zo = _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(w, 32), p), co);
      store8(val + 8 * j, _mm256_and_si256(_mm256_blend_epi32(ze, _mm256_slli_epi64(zo, 32), 0xAA), mask31));
      ce = _mm256_srli_epi64(ze, 31);
      co = _mm256_srli_epi64(zo, 31);
    }
    store8(val + 8 * len, _mm256_and_si256(_mm256_blend_epi32(ce, _mm256_slli_epi64(co, 32), 0xAA), mask31));
    ++len;
  }
  if (centred) {
    __m256i borrow = _mm256_setzero_si256();
    for (size_t j = 0; j < k; ++j) {
      const __m256i sub = _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(modulus[j])), greater);
      const __m256i diff = _mm256_sub_epi32(_mm256_sub_epi32(load8(val + 8 * j), sub), borrow);
      store8(val + 8 * j, _mm256_and_si256(diff, mask31));
      borrow = _mm256_srli_epi32(diff, 31);
    }
  }
  for (size_t l = 0; l < 8; ++l)
    for (size_t j = 0; j < k; ++j) out[l * out_stride + j] = val[8 * j + l];
}

}  // namespace fndsa::kgen

// residues_by_prime() with one prime per lane: Horner's rule from the top
// limb, as residue() computes it for each prime.
namespace fndsa::kgen {

void residues_by_prime_avx2(const uint32_t* x, size_t len, size_t count, size_t np, uint32_t* out) noexcept {
  const PrimeColumns& col = prime_columns();
  alignas(32) uint32_t lane[8];  // one coefficient's residues, wiped at the end
  for (size_t i = 0; i < np; i += 8) {
    const __m256i p = load8(col.p + i);
    const __m256i neg_inv = load8(col.neg_inv + i);
    const __m256i two31 = load8(col.two31 + i);
    // The odd lanes' constants moved to the even positions, for the odd
    // products.
    const __m256i p_odd = _mm256_srli_epi64(p, 32), neg_inv_odd = _mm256_srli_epi64(neg_inv, 32);
    const __m256i two31_odd = _mm256_srli_epi64(two31, 32);
    // r 2^31 / 2^32 mod p, lane by lane (Montgomery product by 2^31 R).
    auto times_radix = [&](__m256i a) {
      const __m256i ze = _mm256_mul_epu32(a, two31);
      const __m256i zo = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), two31_odd);
      const __m256i re = _mm256_add_epi64(ze, _mm256_mul_epu32(_mm256_mul_epu32(ze, neg_inv), p));
      const __m256i ro = _mm256_add_epi64(zo, _mm256_mul_epu32(_mm256_mul_epu32(zo, neg_inv_odd), p_odd));
      const __m256i r = _mm256_blend_epi32(_mm256_srli_epi64(re, 32), ro, 0xAA);
      return _mm256_min_epu32(r, _mm256_sub_epi32(r, p));
    };
    const size_t lanes = np - i < 8 ? np - i : 8;
    for (size_t c = 0; c < count; ++c) {
      const uint32_t* v = x + c * len;
      // The top limb as a signed value of magnitude below 2^30 < p.
      const __m256i top = _mm256_set1_epi32(static_cast<int32_t>(v[len - 1] << 1) >> 1);
      __m256i r = _mm256_add_epi32(top, _mm256_and_si256(p, _mm256_srai_epi32(top, 31)));
      for (size_t l = len - 1; l-- > 0;) {
        const __m256i w = _mm256_set1_epi32(static_cast<int>(v[l]));
        const __m256i folded = _mm256_min_epu32(w, _mm256_sub_epi32(w, p));
        const __m256i s = _mm256_add_epi32(times_radix(r), folded);
        r = _mm256_min_epu32(s, _mm256_sub_epi32(s, p));
      }
      _mm256_store_si256(reinterpret_cast<__m256i*>(lane), r);
      for (size_t t = 0; t < lanes; ++t) out[(i + t) * count + c] = lane[t];
    }
  }
  zeroize::wipe(lane, sizeof lane);
}

}  // namespace fndsa::kgen
