// Sixteen-coefficient helpers shared by the AVX-512 transforms and kernels.
// Each one computes in every lane exactly what its scalar counterpart in
// internal.hpp computes, so the AVX-512 code gives the portable results.
// Only AVX-512F instructions are used. Include only from files built with
// -mavx512f.
#pragma once

// GCC 12's AVX-512 intrinsics fill their unused merge operand from a
// self-initialised variable, which its uninitialised-use warnings report
// inside the header.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include "internal.hpp"

namespace mldsa::detail::avx512 {

inline __m512i load(const int32_t* p) { return _mm512_load_si512(p); }
inline void store(int32_t* p, __m512i v) { _mm512_store_si512(p, v); }
inline __m512i splat(int32_t v) { return _mm512_set1_epi32(v); }

// The odd 32-bit lanes moved down onto the even ones.
inline __m512i odd_down(__m512i a) { return _mm512_srli_epi64(a, 32); }
// The upper halves of the 64-bit lanes of `even_products` (in the even
// lanes) beside those of `odd_products` (in the odd lanes).
inline __m512i high_halves(__m512i even_products, __m512i odd_products) {
  return _mm512_mask_blend_epi32(0xAAAA, odd_down(even_products), odd_products);
}

// mont_reduce(a * b) in every lane, given bq = b q^-1 mod 2^32 and, for the
// odd lanes, b_odd and bq_odd (b's and bq's odd lanes moved down). The low
// halves of a b and t q agree (that is what t is for), so the high half of
// their difference is the difference of their high halves.
inline __m512i mont_mul(__m512i a, __m512i b, __m512i b_odd, __m512i bq, __m512i bq_odd) {
  const __m512i q = splat(kQ);
  const __m512i a_odd = odd_down(a);
  // The low halves of these products are t = a b q^-1 mod 2^32.
  const __m512i t_even = _mm512_mul_epi32(a, bq);
  const __m512i t_odd = _mm512_mul_epi32(a_odd, bq_odd);
  const __m512i p_even = _mm512_mul_epi32(a, b);
  const __m512i p_odd = _mm512_mul_epi32(a_odd, b_odd);
  const __m512i tq_even = _mm512_mul_epi32(t_even, q);
  const __m512i tq_odd = _mm512_mul_epi32(t_odd, q);
  return high_halves(_mm512_sub_epi32(p_even, tq_even), _mm512_sub_epi32(p_odd, tq_odd));
}

// mont_reduce of the 64-bit sums in the even lanes of `even` and of `odd`;
// the results come back in the 32-bit lanes in their original order.
inline __m512i mont_reduce2(__m512i even, __m512i odd) {
  const __m512i q = splat(kQ);
  const __m512i qinv = splat(static_cast<int32_t>(kQInv));
  const __m512i r_even = _mm512_sub_epi64(even, _mm512_mul_epi32(_mm512_mul_epu32(even, qinv), q));
  const __m512i r_odd = _mm512_sub_epi64(odd, _mm512_mul_epi32(_mm512_mul_epu32(odd, qinv), q));
  return high_halves(r_even, r_odd);
}

inline __m512i mul_even(__m512i a, __m512i b) { return _mm512_mul_epi32(a, b); }
inline __m512i mul_odd(__m512i a, __m512i b) { return _mm512_mul_epi32(odd_down(a), odd_down(b)); }

// mont_reduce(a * b) for two arbitrary operands.
inline __m512i mont_mul(__m512i a, __m512i b) { return mont_reduce2(mul_even(a, b), mul_odd(a, b)); }

inline __m512i reduce32(__m512i a) {
  const __m512i t = _mm512_srai_epi32(_mm512_add_epi32(a, splat(1 << 22)), 23);
  return _mm512_sub_epi32(a, _mm512_mullo_epi32(t, splat(kQ)));
}
inline __m512i caddq(__m512i a) { return _mm512_add_epi32(a, _mm512_and_si512(_mm512_srai_epi32(a, 31), splat(kQ))); }
inline __m512i freeze(__m512i a) { return caddq(reduce32(a)); }
inline __m512i center(__m512i a) {
  const __m512i over = _mm512_srai_epi32(_mm512_sub_epi32(splat((kQ - 1) / 2), a), 31);
  return _mm512_sub_epi32(a, _mm512_and_si512(over, splat(kQ)));
}

// The lanes whose |a| >= bound.
inline __mmask16 over_bound(__m512i a, int32_t bound) {
  return _mm512_cmpgt_epi32_mask(_mm512_abs_epi32(a), splat(bound - 1));
}

// Decompose for a in [0, q), as the scalar decompose().
inline void decompose(__m512i a, __m512i& a1, __m512i& a0) {
  const __m512i x = _mm512_srli_epi32(_mm512_add_epi32(a, splat(kGamma2 - 1)), 11);
  const __m512i r1 = _mm512_srli_epi32(_mm512_mullo_epi32(x, splat(180401)), 24);
  const __m512i r0 = _mm512_sub_epi32(a, _mm512_mullo_epi32(r1, splat(2 * kGamma2)));
  // r1 == 44: r1 = 0 and r0 - 1.
  const __mmask16 wrap = _mm512_cmpeq_epi32_mask(r1, splat(44));
  a1 = _mm512_mask_mov_epi32(r1, wrap, _mm512_setzero_si512());
  a0 = _mm512_mask_sub_epi32(r0, wrap, r0, splat(1));
}
inline __m512i high_bits(__m512i a) {
  __m512i a1, a0;
  decompose(a, a1, a0);
  return a1;
}

}  // namespace mldsa::detail::avx512
