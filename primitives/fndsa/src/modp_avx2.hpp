// Eight residues modulo one prime p < 2^31 per 256-bit register, with the
// reductions of modp.hpp: every result is fully reduced into [0, p), so the
// values equal the portable code's exactly. Only for translation units
// compiled with AVX2.
#pragma once

#include <immintrin.h>

#include "modp.hpp"

namespace fndsa::kgen::avx2 {

struct ModpX8 {
  __m256i p, neg_inv;
  explicit ModpX8(const Modp& m) noexcept
      : p(_mm256_set1_epi32(static_cast<int>(m.p))), neg_inv(_mm256_set1_epi32(static_cast<int>(m.neg_inv))) {}

  // a + b and a - b for a, b in [0, p): the unsigned minimum picks the
  // reduced one of the two candidates.
  __m256i add(__m256i a, __m256i b) const noexcept {
    const __m256i s = _mm256_add_epi32(a, b);
    return _mm256_min_epu32(s, _mm256_sub_epi32(s, p));
  }
  __m256i sub(__m256i a, __m256i b) const noexcept {
    const __m256i d = _mm256_sub_epi32(a, b);
    return _mm256_min_epu32(d, _mm256_add_epi32(d, p));
  }
  // a b / 2^32 mod p, the even and the odd lanes as two sets of 64-bit
  // products.
  __m256i mont(__m256i a, __m256i b) const noexcept {
    const __m256i ze = _mm256_mul_epu32(a, b);
    const __m256i zo = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
    const __m256i ke = _mm256_mul_epu32(ze, neg_inv);
    const __m256i ko = _mm256_mul_epu32(zo, neg_inv);
    const __m256i re = _mm256_add_epi64(ze, _mm256_mul_epu32(ke, p));
    const __m256i ro = _mm256_add_epi64(zo, _mm256_mul_epu32(ko, p));
    const __m256i r = _mm256_blend_epi32(_mm256_srli_epi64(re, 32), ro, 0xAA);
    return _mm256_min_epu32(r, _mm256_sub_epi32(r, p));
  }
};

inline __m256i load8(const uint32_t* a) noexcept { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a)); }
inline void store8(uint32_t* a, __m256i v) noexcept { _mm256_storeu_si256(reinterpret_cast<__m256i*>(a), v); }

}  // namespace fndsa::kgen::avx2
