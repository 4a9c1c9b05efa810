// The fixed-point division of fixed.cpp on four 64-bit lanes: the same
// long division, step for step, with the lanes' masks built by compares,
// so every quotient equals operator/'s.
#include <immintrin.h>

#include "fixed.hpp"

namespace fndsa::kgen {
namespace {

// Two registers side by side: their steps are independent, so the
// processor overlaps them.
template <size_t R>
void divide_lanes(Fixed* a, const Fixed* b) noexcept {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi64x(1);
  __m256i num[R], den[R], rem[R], quo[R], sign[R];
  for (size_t r = 0; r < R; ++r) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 4 * r));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * r));
    const __m256i sx = _mm256_cmpgt_epi64(zero, x), sy = _mm256_cmpgt_epi64(zero, y);
    num[r] = _mm256_sub_epi64(_mm256_xor_si256(x, sx), sx);
    den[r] = _mm256_sub_epi64(_mm256_xor_si256(y, sy), sy);
    sign[r] = _mm256_xor_si256(sx, sy);
    rem[r] = _mm256_srli_epi64(num[r], 31);
    quo[r] = zero;
  }
  // take: all ones where rem - den keeps its top bit clear.
  auto take_of = [&](__m256i rm, __m256i dn) {
    return _mm256_andnot_si256(_mm256_cmpgt_epi64(zero, _mm256_sub_epi64(rm, dn)), _mm256_set1_epi64x(-1));
  };
  for (int bit = 63; bit >= 0; --bit) {
    const __m128i count = _mm_cvtsi32_si128(bit >= 33 ? bit - 33 : 0);
    for (size_t r = 0; r < R; ++r) {
      const __m256i take = take_of(rem[r], den[r]);
      rem[r] = _mm256_sub_epi64(rem[r], _mm256_and_si256(den[r], take));
      quo[r] = _mm256_or_si256(_mm256_slli_epi64(quo[r], 1), _mm256_and_si256(take, one));
      const __m256i next = bit >= 33 ? _mm256_and_si256(_mm256_srl_epi64(num[r], count), one) : zero;
      rem[r] = _mm256_or_si256(_mm256_slli_epi64(rem[r], 1), next);
    }
  }
  for (size_t r = 0; r < R; ++r) {
    const __m256i take = take_of(rem[r], den[r]);
    const __m256i q = _mm256_add_epi64(quo[r], _mm256_and_si256(take, one));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(a + 4 * r), _mm256_sub_epi64(_mm256_xor_si256(q, sign[r]), sign[r]));
  }
}

}  // namespace

void fixed_div_avx2(Fixed* a, const Fixed* b, size_t n) noexcept {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) divide_lanes<2>(a + i, b + i);
  for (; i < n; i += 4) divide_lanes<1>(a + i, b + i);
}

}  // namespace fndsa::kgen
