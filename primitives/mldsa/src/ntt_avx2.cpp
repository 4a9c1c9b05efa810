// AVX2 forms of the forward and inverse NTT. Every lane computes exactly
// what the portable code computes for that coefficient (the same Montgomery
// reduction, the same additions), so results are identical bit for bit.
#include "avx2_ops.hpp"

namespace mldsa::detail {
namespace {

using avx2::load;
using avx2::store;

// A twiddle factor with what its Montgomery products need: the factor for
// the even and for the odd lanes, and the factor times q^-1 mod 2^32, which
// gives each product's reduction multiplier without waiting for the product.
struct Twiddle {
  __m256i even, odd, qinv;
};

inline Twiddle twiddle(int32_t z) {
  const __m256i v = _mm256_set1_epi32(z);
  return {v, v, _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(z) * kQInv))};
}

inline Twiddle twiddle(const int32_t* z, const int32_t* zq) {
  const __m256i v = load(z);
  return {v, _mm256_srli_epi64(v, 32), load(zq)};
}

// mont_reduce(a * z) in every lane: t = a z q^-1 mod 2^32 as in the scalar
// reduction, then (a z - t q) / 2^32.
inline __m256i mont_mul(__m256i a, const Twiddle& w) {
  const __m256i q = _mm256_set1_epi32(kQ);
  const __m256i t = _mm256_mullo_epi32(a, w.qinv);
  const __m256i p_even = _mm256_mul_epi32(a, w.even);
  const __m256i p_odd = _mm256_mul_epi32(_mm256_srli_epi64(a, 32), w.odd);
  const __m256i r_even = _mm256_sub_epi64(p_even, _mm256_mul_epi32(t, q));
  const __m256i r_odd = _mm256_sub_epi64(p_odd, _mm256_mul_epi32(_mm256_srli_epi64(t, 32), q));
  return _mm256_blend_epi32(_mm256_srli_epi64(r_even, 32), r_odd, 0xAA);
}

inline void fwd_butterfly(__m256i& a, __m256i& b, const Twiddle& z) {
  const __m256i t = mont_mul(b, z);
  b = _mm256_sub_epi32(a, t);
  a = _mm256_add_epi32(a, t);
}

inline void inv_butterfly(__m256i& a, __m256i& b, const Twiddle& z) {
  const __m256i t = a;
  a = _mm256_add_epi32(t, b);
  b = mont_mul(_mm256_sub_epi32(t, b), z);
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

// The twiddle vectors of the levels with distance 4, 2 and 1, one vector
// per 16-coefficient chunk. Forward: block b uses zetas[128/Len + b];
// inverse: -zetas[256/Len - 1 - b].
struct SmallLevelZetas {
  alignas(32) int32_t v[2][3][kN / 16][8];   // [inverse][level: 4, 2, 1][chunk][lane]
  alignas(32) int32_t vq[2][3][kN / 16][8];  // the same times q^-1 mod 2^32
};

template <int Len>
constexpr int level_slot() {
  return Len == 4 ? 0 : Len == 2 ? 1 : 2;
}

template <int Len>
void fill_level(SmallLevelZetas& t, const int32_t* zt) {
  constexpr int kBlocksPerChunk = 16 / (2 * Len);
  for (int chunk = 0; chunk < kN / 16; ++chunk) {
    for (int l = 0; l < 8; ++l) {
      const int b = chunk * kBlocksPerChunk + lane_block<Len>(l);
      const int32_t fwd = zt[128 / Len + b], inv = -zt[256 / Len - 1 - b];
      t.v[0][level_slot<Len>()][chunk][l] = fwd;
      t.v[1][level_slot<Len>()][chunk][l] = inv;
      t.vq[0][level_slot<Len>()][chunk][l] = static_cast<int32_t>(static_cast<uint32_t>(fwd) * kQInv);
      t.vq[1][level_slot<Len>()][chunk][l] = static_cast<int32_t>(static_cast<uint32_t>(inv) * kQInv);
    }
  }
}

// Built on first use behind the guard of a function-local static; the
// transforms fetch it before they load any coefficient, so that no register
// holding one is live across the guard's call (and spilled to the stack).
const SmallLevelZetas& small_zetas(const int32_t* zt) {
  static const SmallLevelZetas t = [zt] {
    SmallLevelZetas r{};
    fill_level<4>(r, zt);
    fill_level<2>(r, zt);
    fill_level<1>(r, zt);
    return r;
  }();
  return t;
}

// One small level of the 16-coefficient chunk held in x, y.
template <int Len, bool Inverse>
inline void small_level(__m256i& x, __m256i& y, const SmallLevelZetas& t, int chunk) {
  constexpr int kInv = Inverse ? 1 : 0;
  const Twiddle z = twiddle(t.v[kInv][level_slot<Len>()][chunk], t.vq[kInv][level_slot<Len>()][chunk]);
  __m256i lo, hi;
  split<Len>(x, y, lo, hi);
  if constexpr (Inverse)
    inv_butterfly(lo, hi, z);
  else
    fwd_butterfly(lo, hi, z);
  join<Len>(lo, hi, x, y);
}

inline void fwd_small(__m256i& x, __m256i& y, const SmallLevelZetas& t, int chunk) {
  small_level<4, false>(x, y, t, chunk);
  small_level<2, false>(x, y, t, chunk);
  small_level<1, false>(x, y, t, chunk);
}

inline void inv_small(__m256i& x, __m256i& y, const SmallLevelZetas& t, int chunk) {
  small_level<1, true>(x, y, t, chunk);
  small_level<2, true>(x, y, t, chunk);
  small_level<4, true>(x, y, t, chunk);
}

}  // namespace

// Two passes over the coefficients instead of one per level: the levels
// with distance 128, 64 and 32 on eight vectors 32 coefficients apart, then
// the levels with distance 16 down to 1 on each block of 32 coefficients.
// The butterflies are the portable ones, in an order that respects their
// dependencies, so every value is the same.
void ntt_avx2(Poly& p, const int32_t* zt) noexcept {
  // Before the coefficients are loaded: see small_zetas().
  const SmallLevelZetas& t = small_zetas(zt);
  int32_t* a = p.c;
  for (int o = 0; o < 32; o += 8) {
    __m256i v[8];
    for (int k = 0; k < 8; ++k) v[k] = load(a + o + 32 * k);
    const Twiddle z1 = twiddle(zt[1]);
    for (int k = 0; k < 4; ++k) fwd_butterfly(v[k], v[k + 4], z1);
    for (int k = 0; k < 8; k += 4) {
      const Twiddle z = twiddle(zt[2 + k / 4]);
      fwd_butterfly(v[k], v[k + 2], z);
      fwd_butterfly(v[k + 1], v[k + 3], z);
    }
    for (int k = 0; k < 8; k += 2) fwd_butterfly(v[k], v[k + 1], twiddle(zt[4 + k / 2]));
    for (int k = 0; k < 8; ++k) store(a + o + 32 * k, v[k]);
  }
  for (int blk = 0; blk < 8; ++blk) {
    int32_t* b = a + 32 * blk;
    __m256i u0 = load(b), u1 = load(b + 8), u2 = load(b + 16), u3 = load(b + 24);
    const Twiddle z16 = twiddle(zt[8 + blk]);
    fwd_butterfly(u0, u2, z16);
    fwd_butterfly(u1, u3, z16);
    fwd_butterfly(u0, u1, twiddle(zt[16 + 2 * blk]));
    fwd_butterfly(u2, u3, twiddle(zt[17 + 2 * blk]));
    fwd_small(u0, u1, t, 2 * blk);
    fwd_small(u2, u3, t, 2 * blk + 1);
    store(b, u0);
    store(b + 8, u1);
    store(b + 16, u2);
    store(b + 24, u3);
  }
}

void invntt_avx2(Poly& p, const int32_t* zt, int32_t scale) noexcept {
  int32_t* a = p.c;
  // Before the coefficients are loaded: see small_zetas().
  const SmallLevelZetas& t = small_zetas(zt);
  for (int blk = 0; blk < 8; ++blk) {
    int32_t* b = a + 32 * blk;
    __m256i u0 = load(b), u1 = load(b + 8), u2 = load(b + 16), u3 = load(b + 24);
    inv_small(u0, u1, t, 2 * blk);
    inv_small(u2, u3, t, 2 * blk + 1);
    inv_butterfly(u0, u1, twiddle(-zt[31 - 2 * blk]));
    inv_butterfly(u2, u3, twiddle(-zt[30 - 2 * blk]));
    const Twiddle z16 = twiddle(-zt[15 - blk]);
    inv_butterfly(u0, u2, z16);
    inv_butterfly(u1, u3, z16);
    store(b, u0);
    store(b + 8, u1);
    store(b + 16, u2);
    store(b + 24, u3);
  }
  const Twiddle f = twiddle(scale);
  for (int o = 0; o < 32; o += 8) {
    __m256i v[8];
    for (int k = 0; k < 8; ++k) v[k] = load(a + o + 32 * k);
    for (int k = 0; k < 8; k += 2) inv_butterfly(v[k], v[k + 1], twiddle(-zt[7 - k / 2]));
    for (int k = 0; k < 8; k += 4) {
      const Twiddle z = twiddle(-zt[3 - k / 4]);
      inv_butterfly(v[k], v[k + 2], z);
      inv_butterfly(v[k + 1], v[k + 3], z);
    }
    const Twiddle z1 = twiddle(-zt[1]);
    for (int k = 0; k < 4; ++k) inv_butterfly(v[k], v[k + 4], z1);
    for (int k = 0; k < 8; ++k) store(a + o + 32 * k, mont_mul(v[k], f));
  }
}

}  // namespace mldsa::detail
