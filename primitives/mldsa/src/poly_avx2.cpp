// AVX2 forms of the polynomial kernels, eight coefficients per step. Every
// lane follows the scalar arithmetic of the portable forms (arith.cpp), so
// the two give identical results; the flags are accumulated over all lanes
// and all steps before they are read.
#include "avx2_ops.hpp"

namespace mldsa::detail::avx2 {
namespace {

inline uint32_t any_lane(__m256i mask) { return _mm256_testz_si256(mask, mask) ? 0u : 1u; }

}  // namespace

void pointwise_mont(Poly& r, const Poly& a, const Poly& b) noexcept {
  for (int i = 0; i < kN; i += 8) store(r.c + i, mont_mul(load(a.c + i), load(b.c + i)));
}

void row_mul(Poly& r, const PolyVecL& row, const PolyVecL& v) noexcept {
  for (int i = 0; i < kN; i += 8) {
    __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
    for (int j = 0; j < kL; ++j) {
      const __m256i x = load(row[j].c + i), y = load(v[j].c + i);
      even = _mm256_add_epi64(even, mul_even(x, y));
      odd = _mm256_add_epi64(odd, mul_odd(x, y));
    }
    store(r.c + i, mont_reduce2(even, odd));
  }
}

void power2round_poly(Poly& t1, Poly& t0, const Poly& t, const Poly& s) noexcept {
  for (int i = 0; i < kN; i += 8) {
    const __m256i a = freeze(_mm256_add_epi32(load(t.c + i), load(s.c + i)));
    const __m256i a1 = _mm256_srai_epi32(_mm256_add_epi32(a, splat((1 << (kD - 1)) - 1)), kD);
    store(t1.c + i, a1);
    store(t0.c + i, _mm256_sub_epi32(a, _mm256_slli_epi32(a1, kD)));
  }
}

void high_bits_poly(Poly& w1, Poly& w) noexcept {
  for (int i = 0; i < kN; i += 8) {
    const __m256i a = freeze(load(w.c + i));
    store(w.c + i, a);
    store(w1.c + i, high_bits(a));
  }
}

uint32_t make_z(Poly& z, const Poly& y, const Poly& cs1) noexcept {
  __m256i flag = _mm256_setzero_si256();
  for (int i = 0; i < kN; i += 8) {
    const __m256i v = center(freeze(_mm256_add_epi32(load(y.c + i), load(cs1.c + i))));
    store(z.c + i, v);
    flag = _mm256_or_si256(flag, over_bound(v, kGamma1 - kBeta));
  }
  return any_lane(flag);
}

uint32_t make_r(Poly& r, const Poly& w, const Poly& cs2) noexcept {
  __m256i flag = _mm256_setzero_si256();
  for (int i = 0; i < kN; i += 8) {
    const __m256i v = freeze(_mm256_sub_epi32(load(w.c + i), load(cs2.c + i)));
    store(r.c + i, v);
    __m256i r1, r0;
    decompose(v, r1, r0);
    flag = _mm256_or_si256(flag, over_bound(r0, kGamma2 - kBeta));
  }
  return any_lane(flag);
}

uint32_t make_hint(Poly& h, int32_t* count, const Poly& r, const Poly& ct0) noexcept {
  __m256i flag = _mm256_setzero_si256();
  __m256i ones = _mm256_setzero_si256();
  const __m256i one = splat(1);
  for (int i = 0; i < kN; i += 8) {
    const __m256i c = load(ct0.c + i), k = load(r.c + i);
    flag = _mm256_or_si256(flag, over_bound(center(freeze(c)), kGamma2));
    const __m256i same = _mm256_cmpeq_epi32(high_bits(freeze(_mm256_add_epi32(k, c))), high_bits(k));
    const __m256i hint = _mm256_andnot_si256(same, one);
    store(h.c + i, hint);
    ones = _mm256_add_epi32(ones, hint);
  }
  const __m128i s4 = _mm_add_epi32(_mm256_castsi256_si128(ones), _mm256_extracti128_si256(ones, 1));
  const __m128i s2 = _mm_add_epi32(s4, _mm_unpackhi_epi64(s4, s4));
  const __m128i s1 = _mm_add_epi32(s2, _mm_shuffle_epi32(s2, 1));
  *count += _mm_cvtsi128_si32(s1);
  return any_lane(flag);
}

void sub_reduce(Poly& w, const Poly& b) noexcept {
  for (int i = 0; i < kN; i += 8) store(w.c + i, reduce32(_mm256_sub_epi32(load(w.c + i), load(b.c + i))));
}

void use_hint_poly(Poly& w1, const Poly& w, const Poly& h) noexcept {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i m = splat(44);  // (q - 1) / (2 gamma2): the number of high parts
  for (int i = 0; i < kN; i += 8) {
    __m256i a1, a0;
    decompose(freeze(load(w.c + i)), a1, a0);
    // One step up when the low part is positive, one step down otherwise,
    // taken only where the hint is set, and wrapped around modulo 44.
    const __m256i step = _mm256_sub_epi32(_mm256_and_si256(_mm256_cmpgt_epi32(a0, zero), splat(2)), splat(1));
    __m256i v = _mm256_add_epi32(a1, _mm256_and_si256(step, _mm256_sub_epi32(zero, load(h.c + i))));
    v = _mm256_add_epi32(v, _mm256_and_si256(_mm256_cmpgt_epi32(zero, v), m));
    v = _mm256_sub_epi32(v, _mm256_and_si256(_mm256_cmpgt_epi32(v, splat(43)), m));
    store(w1.c + i, v);
  }
}

uint32_t exceeds_norm(const Poly* polys, size_t count, int32_t bound) noexcept {
  __m256i flag = _mm256_setzero_si256();
  for (size_t p = 0; p < count; ++p) {
    for (int i = 0; i < kN; i += 8) flag = _mm256_or_si256(flag, over_bound(load(polys[p].c + i), bound));
  }
  return any_lane(flag);
}

// The coefficients live as bytes in eight registers while the signs are
// placed: each step compares all 256 positions with j, so the registers
// are touched alike whatever j is.
void place_signs(Poly& c, const uint8_t js[kTau], uint64_t signs) noexcept {
  __m256i v[8], idx[8];
  for (int r = 0; r < 8; ++r) {
    v[r] = _mm256_setzero_si256();
    alignas(32) uint8_t pos[32];
    for (int b = 0; b < 32; ++b) pos[b] = static_cast<uint8_t>(32 * r + b);
    idx[r] = _mm256_load_si256(reinterpret_cast<const __m256i*>(pos));
  }
  const __m256i zero = _mm256_setzero_si256();
  for (int t = 0; t < kTau; ++t) {
    const int i = kN - kTau + t;
    const __m256i jv = _mm256_set1_epi8(static_cast<char>(js[t]));
    const __m256i sign = _mm256_set1_epi8(static_cast<char>(1 - 2 * static_cast<int>((signs >> t) & 1)));
    __m256i hit[8];
    __m256i cj = zero;  // c[j] in one byte, zero elsewhere
    for (int r = 0; r < 8; ++r) {
      hit[r] = _mm256_cmpeq_epi8(idx[r], jv);
      cj = _mm256_or_si256(cj, _mm256_and_si256(v[r], hit[r]));
    }
    // Spread that byte over every lane: the sums of absolute differences
    // from zero leave it in one 64-bit word, which is then broadcast.
    __m256i sum = _mm256_sad_epu8(cj, zero);
    sum = _mm256_or_si256(sum, _mm256_shuffle_epi32(sum, 0x4E));
    sum = _mm256_or_si256(sum, _mm256_permute4x64_epi64(sum, 0x4E));
    const __m256i moved = _mm256_shuffle_epi8(sum, zero);
    // c[i] = c[j] (i is public), then c[j] = sign, which wins when j == i.
    const __m256i at_i = _mm256_cmpeq_epi8(idx[i / 32], _mm256_set1_epi8(static_cast<char>(i)));
    v[i / 32] = _mm256_blendv_epi8(v[i / 32], moved, at_i);
    for (int r = 0; r < 8; ++r) v[r] = _mm256_blendv_epi8(v[r], sign, hit[r]);
  }
  for (int r = 0; r < 8; ++r) {
    const __m128i lo = _mm256_castsi256_si128(v[r]), hi = _mm256_extracti128_si256(v[r], 1);
    store(c.c + 32 * r, _mm256_cvtepi8_epi32(lo));
    store(c.c + 32 * r + 8, _mm256_cvtepi8_epi32(_mm_srli_si128(lo, 8)));
    store(c.c + 32 * r + 16, _mm256_cvtepi8_epi32(hi));
    store(c.c + 32 * r + 24, _mm256_cvtepi8_epi32(_mm_srli_si128(hi, 8)));
  }
}

// Eight candidates at a time; a group with a candidate at or above q (about
// one group in 128 on the matrix's public streams) goes through the scalar
// parse, as does the tail.
int rej_ntt_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i mask = splat(0x7FFFFF), q = splat(kQ);
  size_t i = 0;
  while (n + 8 <= kN && i + 28 <= len) {
    const __m256i raw =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(buf + i + 12), reinterpret_cast<const __m128i*>(buf + i));
    const __m256i v = _mm256_and_si256(_mm256_shuffle_epi8(raw, spread), mask);
    const int below = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(q, v)));
    if (below == 0xFF) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(a.c + n), v);
      n += 8;
    } else {
      n = portable::rej_ntt_append(a, n, buf + i, 24);
    }
    i += 24;
  }
  return portable::rej_ntt_append(a, n, buf + i, len - i);
}

// No eight-lane form yet: the AVX2 path parses the secret streams with the
// portable code.
int rej_eta_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept {
  return portable::rej_eta_append(a, n, buf, len);
}

void unpack_mask(Poly& y, const uint8_t* in) noexcept { portable::unpack_mask(y, in); }

}  // namespace mldsa::detail::avx2
