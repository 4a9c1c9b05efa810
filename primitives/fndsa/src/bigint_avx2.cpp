// mul_sum() of bigint.cpp with four limbs per register. Each multiplier is
// split as c = 2^16 h + l with l in [0, 2^16), so that a limb's products by
// l and by h stay below 2^47 and sum in 64-bit lanes without carrying;
// the carries between limbs are settled once, limb by limb, at the end.
#include <immintrin.h>

#include "bigint.hpp"

namespace fndsa::kgen {

void mul_sum_avx2(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, const int32_t* c,
                  size_t count) noexcept {
  constexpr size_t kMaxLimbs = 64;
  alignas(32) int64_t lo[kMaxLimbs], hi[kMaxLimbs];
  const size_t blocks = (xlen + 3) / 4;
  alignas(32) int64_t cl[16], ch[16];  // the halves of 16 multipliers at a time
  for (size_t b = 0; b < blocks; ++b) {
    const size_t t = 4 * b;
    // Lanes past the last limb are neither read nor counted; the lane of the
    // top limb reads it as a signed 31-bit value.
    alignas(16) int32_t in[4], top[4];
    for (size_t l = 0; l < 4; ++l) {
      in[l] = t + l < xlen ? -1 : 0;
      top[l] = t + l + 1 == xlen ? -1 : 0;
    }
    const __m128i in_mask = _mm_load_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i top_mask = _mm_load_si128(reinterpret_cast<const __m128i*>(top));
    __m256i sl = _mm256_setzero_si256(), sh = _mm256_setzero_si256();
    for (size_t i0 = 0; i0 < count; i0 += 16) {
      const size_t m = count - i0 < 16 ? count - i0 : 16;
      for (size_t i = 0; i < m; ++i) {
        cl[i] = c[i0 + i] & 0xFFFF;
        ch[i] = c[i0 + i] >> 16;
      }
      const uint32_t* row = x + i0 * xlen + t;
      for (size_t i = 0; i < m; ++i, row += xlen) {
        __m128i w = _mm_maskload_epi32(reinterpret_cast<const int*>(row), in_mask);
        w = _mm_blendv_epi8(w, _mm_srai_epi32(_mm_slli_epi32(w, 1), 1), top_mask);
        const __m256i v = _mm256_cvtepi32_epi64(w);
        sl = _mm256_add_epi64(sl, _mm256_mul_epi32(v, _mm256_set1_epi64x(cl[i])));
        sh = _mm256_add_epi64(sh, _mm256_mul_epi32(v, _mm256_set1_epi64x(ch[i])));
      }
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(lo + t), sl);
    _mm256_store_si256(reinterpret_cast<__m256i*>(hi + t), sh);
  }
  __int128 carry = 0;
  for (size_t t = 0; t < alen; ++t) {
    const __int128 z = t < xlen ? carry + lo[t] + (static_cast<__int128>(hi[t]) << 16) : carry;
    acc[t] = static_cast<uint32_t>(z) & kLimbMask;
    carry = z >> 31;
  }
}

}  // namespace fndsa::kgen
