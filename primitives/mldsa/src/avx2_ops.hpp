// Eight-coefficient helpers shared by the AVX2 transforms and kernels. Each
// one computes in every lane exactly what its scalar counterpart in
// internal.hpp computes, so the AVX2 code gives the portable results.
// Include only from files built with -mavx2.
#pragma once

#include <immintrin.h>

#include "internal.hpp"

namespace mldsa::detail::avx2 {

inline __m256i load(const int32_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }
inline void store(int32_t* p, __m256i v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
inline __m256i splat(int32_t v) { return _mm256_set1_epi32(v); }

// mont_reduce of the 64-bit values in the even lanes of `even` and of `odd`;
// the results come back in the 32-bit lanes in their original order.
inline __m256i mont_reduce2(__m256i even, __m256i odd) {
  const __m256i q = splat(kQ);
  const __m256i qinv = splat(static_cast<int32_t>(kQInv));
  const __m256i t_even = _mm256_mul_epu32(even, qinv);  // low 32 bits: t
  const __m256i t_odd = _mm256_mul_epu32(odd, qinv);
  const __m256i r_even = _mm256_sub_epi64(even, _mm256_mul_epi32(t_even, q));
  const __m256i r_odd = _mm256_sub_epi64(odd, _mm256_mul_epi32(t_odd, q));
  return _mm256_blend_epi32(_mm256_srli_epi64(r_even, 32), r_odd, 0xAA);
}

// Products of the even lanes and of the odd lanes, as 64-bit values.
inline __m256i mul_even(__m256i a, __m256i b) { return _mm256_mul_epi32(a, b); }
inline __m256i mul_odd(__m256i a, __m256i b) {
  return _mm256_mul_epi32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
}

// mont_reduce(a * z) in every lane.
inline __m256i mont_mul(__m256i a, __m256i z) { return mont_reduce2(mul_even(a, z), mul_odd(a, z)); }

inline __m256i reduce32(__m256i a) {
  const __m256i t = _mm256_srai_epi32(_mm256_add_epi32(a, splat(1 << 22)), 23);
  return _mm256_sub_epi32(a, _mm256_mullo_epi32(t, splat(kQ)));
}
inline __m256i caddq(__m256i a) { return _mm256_add_epi32(a, _mm256_and_si256(_mm256_srai_epi32(a, 31), splat(kQ))); }
inline __m256i freeze(__m256i a) { return caddq(reduce32(a)); }
inline __m256i center(__m256i a) {
  const __m256i over = _mm256_srai_epi32(_mm256_sub_epi32(splat((kQ - 1) / 2), a), 31);
  return _mm256_sub_epi32(a, _mm256_and_si256(over, splat(kQ)));
}

// All-ones in the lanes whose |a| >= bound.
inline __m256i over_bound(__m256i a, int32_t bound) {
  return _mm256_cmpgt_epi32(_mm256_abs_epi32(a), splat(bound - 1));
}

// Decompose for a in [0, q), as the scalar decompose().
inline void decompose(__m256i a, __m256i& a1, __m256i& a0) {
  const __m256i x = _mm256_srli_epi32(_mm256_add_epi32(a, splat(kGamma2 - 1)), 11);
  __m256i r1 = _mm256_srli_epi32(_mm256_mullo_epi32(x, splat(180401)), 24);
  __m256i r0 = _mm256_sub_epi32(a, _mm256_mullo_epi32(r1, splat(2 * kGamma2)));
  const __m256i wrap = _mm256_srai_epi32(_mm256_sub_epi32(splat(43), r1), 31);
  a1 = _mm256_andnot_si256(wrap, r1);
  a0 = _mm256_add_epi32(r0, wrap);
}
inline __m256i high_bits(__m256i a) {
  __m256i a1, a0;
  decompose(a, a1, a0);
  return a1;
}

}  // namespace mldsa::detail::avx2
