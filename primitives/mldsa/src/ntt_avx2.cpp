// AVX2 forms of the forward and inverse NTT. Every lane computes exactly
// what the portable code computes for that coefficient (the same Montgomery
// reduction, the same additions), so results are identical bit for bit.
#include "avx2_ops.hpp"

namespace mldsa::detail {
namespace {

using avx2::load;
using avx2::mont_mul;
using avx2::store;

inline void fwd_butterfly(__m256i& a, __m256i& b, __m256i z) {
  const __m256i t = mont_mul(b, z);
  b = _mm256_sub_epi32(a, t);
  a = _mm256_add_epi32(a, t);
}

inline void inv_butterfly(__m256i& a, __m256i& b, __m256i z) {
  const __m256i t = a;
  a = _mm256_add_epi32(t, b);
  b = mont_mul(_mm256_sub_epi32(t, b), z);
}

inline __m256i zetas8(const int32_t* zt, const int (&idx)[8], bool negate) {
  int32_t v[8];
  for (int i = 0; i < 8; ++i) v[i] = negate ? -zt[idx[i]] : zt[idx[i]];
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v));
}

// Splits two 8-coefficient rows X, Y into the operand vectors of one level
// with butterfly distance 4, 2 or 1, and joins them back.
template <int Len>
inline void split(__m256i x, __m256i y, __m256i& lo, __m256i& hi) {
  if constexpr (Len == 4) {
    lo = _mm256_permute2x128_si256(x, y, 0x20);  // X0-3 Y0-3
    hi = _mm256_permute2x128_si256(x, y, 0x31);  // X4-7 Y4-7
  } else if constexpr (Len == 2) {
    lo = _mm256_unpacklo_epi64(x, y);  // X0 X1 Y0 Y1 | X4 X5 Y4 Y5
    hi = _mm256_unpackhi_epi64(x, y);  // X2 X3 Y2 Y3 | X6 X7 Y6 Y7
  } else {
    const __m256i xs = _mm256_shuffle_epi32(x, 0xD8);  // X0 X2 X1 X3 | X4 X6 X5 X7
    const __m256i ys = _mm256_shuffle_epi32(y, 0xD8);
    lo = _mm256_unpacklo_epi64(xs, ys);  // X0 X2 Y0 Y2 | X4 X6 Y4 Y6
    hi = _mm256_unpackhi_epi64(xs, ys);  // X1 X3 Y1 Y3 | X5 X7 Y5 Y7
  }
}

template <int Len>
inline void join(__m256i lo, __m256i hi, __m256i& x, __m256i& y) {
  if constexpr (Len == 4) {
    x = _mm256_permute2x128_si256(lo, hi, 0x20);
    y = _mm256_permute2x128_si256(lo, hi, 0x31);
  } else if constexpr (Len == 2) {
    x = _mm256_unpacklo_epi64(lo, hi);
    y = _mm256_unpackhi_epi64(lo, hi);
  } else {
    x = _mm256_shuffle_epi32(_mm256_unpacklo_epi64(lo, hi), 0xD8);
    y = _mm256_shuffle_epi32(_mm256_unpackhi_epi64(lo, hi), 0xD8);
  }
}

// Block (of 2*Len coefficients) that lane l of `lo` belongs to, counted
// from the first block of its 16-coefficient chunk.
template <int Len>
constexpr int lane_block(int l) {
  constexpr int kLen4[8] = {0, 0, 0, 0, 1, 1, 1, 1};
  constexpr int kLen2[8] = {0, 0, 2, 2, 1, 1, 3, 3};
  constexpr int kLen1[8] = {0, 1, 4, 5, 2, 3, 6, 7};
  return Len == 4 ? kLen4[l] : Len == 2 ? kLen2[l] : kLen1[l];
}

// One level with distance Len < 8. Forward: block b uses zetas[128/Len + b];
// inverse: -zetas[256/Len - 1 - b].
template <int Len, bool Inverse>
void small_level(int32_t* a, const int32_t* zt) {
  constexpr int kBlocksPerChunk = 16 / (2 * Len);
  for (int chunk = 0; chunk < kN / 16; ++chunk) {
    int idx[8];
    for (int l = 0; l < 8; ++l) {
      const int b = chunk * kBlocksPerChunk + lane_block<Len>(l);
      idx[l] = Inverse ? 256 / Len - 1 - b : 128 / Len + b;
    }
    const __m256i z = zetas8(zt, idx, Inverse);
    __m256i lo, hi, x = load(a + 16 * chunk), y = load(a + 16 * chunk + 8);
    split<Len>(x, y, lo, hi);
    if constexpr (Inverse) inv_butterfly(lo, hi, z);
    else fwd_butterfly(lo, hi, z);
    join<Len>(lo, hi, x, y);
    store(a + 16 * chunk, x);
    store(a + 16 * chunk + 8, y);
  }
}

}  // namespace

void ntt_avx2(Poly& p, const int32_t* zt) noexcept {
  int32_t* a = p.c;
  unsigned k = 0;
  for (unsigned len = 128; len >= 8; len >>= 1) {
    for (unsigned start = 0; start < kN; start += 2 * len) {
      const __m256i z = _mm256_set1_epi32(zt[++k]);
      for (unsigned j = start; j < start + len; j += 8) {
        __m256i x = load(a + j), y = load(a + j + len);
        fwd_butterfly(x, y, z);
        store(a + j, x);
        store(a + j + len, y);
      }
    }
  }
  small_level<4, false>(a, zt);
  small_level<2, false>(a, zt);
  small_level<1, false>(a, zt);
}

void invntt_avx2(Poly& p, const int32_t* zt, int32_t scale) noexcept {
  int32_t* a = p.c;
  small_level<1, true>(a, zt);
  small_level<2, true>(a, zt);
  small_level<4, true>(a, zt);
  unsigned k = 32;
  for (unsigned len = 8; len < kN; len <<= 1) {
    for (unsigned start = 0; start < kN; start += 2 * len) {
      const __m256i z = _mm256_set1_epi32(-zt[--k]);
      for (unsigned j = start; j < start + len; j += 8) {
        __m256i x = load(a + j), y = load(a + j + len);
        inv_butterfly(x, y, z);
        store(a + j, x);
        store(a + j + len, y);
      }
    }
  }
  const __m256i f = _mm256_set1_epi32(scale);
  for (int j = 0; j < kN; j += 8) store(a + j, mont_mul(load(a + j), f));
}

}  // namespace mldsa::detail
