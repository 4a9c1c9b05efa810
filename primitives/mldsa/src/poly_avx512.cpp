// AVX-512 forms of the polynomial kernels, sixteen coefficients per step.
// Every lane follows the scalar arithmetic of the portable forms
// (arith.cpp), so the forms give identical results; the flags are gathered
// over all lanes and all steps before they are read.
#include "avx512_ops.hpp"
#include "subtle/ct_marks.hpp"
#include "xof_lanes.hpp"

namespace mldsa::detail::avx512 {

void pointwise_mont(Poly& r, const Poly& a, const Poly& b) noexcept {
  for (int i = 0; i < kN; i += 16) store(r.c + i, mont_mul(load(a.c + i), load(b.c + i)));
}

void row_mul(Poly& r, const PolyVecL& row, const PolyVecL& v) noexcept {
  for (int i = 0; i < kN; i += 16) {
    __m512i even = _mm512_setzero_si512(), odd = _mm512_setzero_si512();
    for (int j = 0; j < kL; ++j) {
      const __m512i x = load(row[j].c + i), y = load(v[j].c + i);
      even = _mm512_add_epi64(even, mul_even(x, y));
      odd = _mm512_add_epi64(odd, mul_odd(x, y));
    }
    store(r.c + i, mont_reduce2(even, odd));
  }
}

void power2round_poly(Poly& t1, Poly& t0, const Poly& t, const Poly& s) noexcept {
  for (int i = 0; i < kN; i += 16) {
    const __m512i a = freeze(_mm512_add_epi32(load(t.c + i), load(s.c + i)));
    const __m512i a1 = _mm512_srai_epi32(_mm512_add_epi32(a, splat((1 << (kD - 1)) - 1)), kD);
    store(t1.c + i, a1);
    store(t0.c + i, _mm512_sub_epi32(a, _mm512_slli_epi32(a1, kD)));
  }
}

void high_bits_poly(Poly& w1, Poly& w) noexcept {
  for (int i = 0; i < kN; i += 16) {
    const __m512i a = freeze(load(w.c + i));
    store(w.c + i, a);
    store(w1.c + i, high_bits(a));
  }
}

uint32_t make_z(Poly& z, const Poly& y, const Poly& cs1) noexcept {
  __mmask16 flag = 0;
  for (int i = 0; i < kN; i += 16) {
    const __m512i v = center(freeze(_mm512_add_epi32(load(y.c + i), load(cs1.c + i))));
    store(z.c + i, v);
    flag |= over_bound(v, kGamma1 - kBeta);
  }
  return flag != 0;
}

uint32_t make_r(Poly& r, const Poly& w, const Poly& cs2) noexcept {
  __mmask16 flag = 0;
  for (int i = 0; i < kN; i += 16) {
    const __m512i v = freeze(_mm512_sub_epi32(load(w.c + i), load(cs2.c + i)));
    store(r.c + i, v);
    __m512i r1, r0;
    decompose(v, r1, r0);
    flag |= over_bound(r0, kGamma2 - kBeta);
  }
  return flag != 0;
}

uint32_t make_hint(Poly& h, int32_t* count, const Poly& r, const Poly& ct0) noexcept {
  __mmask16 flag = 0;
  __m512i ones = _mm512_setzero_si512();
  const __m512i one = splat(1);
  for (int i = 0; i < kN; i += 16) {
    const __m512i c = load(ct0.c + i), k = load(r.c + i);
    flag |= over_bound(center(freeze(c)), kGamma2);
    const __mmask16 moved = _mm512_cmpneq_epi32_mask(high_bits(freeze(_mm512_add_epi32(k, c))), high_bits(k));
    const __m512i hint = _mm512_maskz_mov_epi32(moved, one);
    store(h.c + i, hint);
    ones = _mm512_add_epi32(ones, hint);
  }
  *count += _mm512_reduce_add_epi32(ones);
  return flag != 0;
}

void sub_reduce(Poly& w, const Poly& b) noexcept {
  for (int i = 0; i < kN; i += 16) store(w.c + i, reduce32(_mm512_sub_epi32(load(w.c + i), load(b.c + i))));
}

void use_hint_poly(Poly& w1, const Poly& w, const Poly& h) noexcept {
  const __m512i zero = _mm512_setzero_si512();
  for (int i = 0; i < kN; i += 16) {
    __m512i a1, a0;
    decompose(freeze(load(w.c + i)), a1, a0);
    // Where the hint is set: one step up when the low part is positive,
    // one step down otherwise, wrapped around modulo 44.
    const __mmask16 hinted = _mm512_cmpneq_epi32_mask(load(h.c + i), zero);
    const __mmask16 up = hinted & _mm512_cmpgt_epi32_mask(a0, zero);
    const __mmask16 down = hinted & ~up;
    __m512i v = _mm512_mask_add_epi32(a1, up, a1, splat(1));
    v = _mm512_mask_sub_epi32(v, down, v, splat(1));
    v = _mm512_mask_add_epi32(v, _mm512_cmplt_epi32_mask(v, zero), v, splat(44));
    v = _mm512_mask_sub_epi32(v, _mm512_cmpgt_epi32_mask(v, splat(43)), v, splat(44));
    store(w1.c + i, v);
  }
}

uint32_t exceeds_norm(const Poly* polys, size_t count, int32_t bound) noexcept {
  __mmask16 flag = 0;
  for (size_t p = 0; p < count; ++p) {
    for (int i = 0; i < kN; i += 16) flag |= over_bound(load(polys[p].c + i), bound);
  }
  return flag != 0;
}

// Byte-wide work: the AVX-512BW form where the processor has it, else the
// AVX2 one.
void place_signs(Poly& c, const uint8_t js[kTau], uint64_t signs) noexcept {
  if (avx512bw_usable()) return avx512bw::place_signs(c, js, signs);
  avx2::place_signs(c, js, signs);
}

// Sixteen 3-byte candidates at a time, each gathered from the two 32-bit
// words it touches; those below q are packed together and stored. The
// matrix is public, so the counts may steer the loop.
int rej_ntt_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept {
  const __m512i word = _mm512_setr_epi32(0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 10, 11);
  const __m512i next = _mm512_add_epi32(word, splat(1));
  const __m512i shift = _mm512_setr_epi32(0, 24, 16, 8, 0, 24, 16, 8, 0, 24, 16, 8, 0, 24, 16, 8);
  const __m512i back = _mm512_sub_epi32(splat(32), shift);  // 32 shifts to zero
  const __m512i mask = splat(0x7FFFFF), q = splat(kQ);
  size_t i = 0;
  // 48 bytes per step, read as 64 from inside the buffer.
  while (n < kN && i + 64 <= len) {
    const __m512i raw = _mm512_loadu_si512(buf + i);
    const __m512i lo = _mm512_srlv_epi32(_mm512_permutexvar_epi32(word, raw), shift);
    const __m512i hi = _mm512_sllv_epi32(_mm512_permutexvar_epi32(next, raw), back);
    const __m512i v = _mm512_and_si512(_mm512_or_si512(lo, hi), mask);
    const __mmask16 below = _mm512_cmplt_epi32_mask(v, q);
    const int got = __builtin_popcount(below);
    const __m512i packed = _mm512_maskz_compress_epi32(below, v);
    // Near the end only the lanes that still fit are stored.
    const int room = kN - n;
    _mm512_mask_storeu_epi32(a.c + n, room >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << room) - 1),
                             packed);
    n += got < room ? got : room;
    i += 48;
  }
  return portable::rej_ntt_append(a, n, buf + i, len - i);
}

// Sixteen half-bytes at a time (eight bytes, low half first); the lanes of
// the accepted ones are packed together. Only the acceptance mask, a
// sampler redraw decision, steers the code.
int rej_eta_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept {
  const __m512i shift = _mm512_setr_epi32(0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4);
  const __m512i nibble = splat(0x0F);
  // eta - (h mod 5) for h = 0..15, looked up by a register permutation (no
  // memory access depends on h).
  const __m512i value = _mm512_setr_epi32(2, 1, 0, -1, -2, 2, 1, 0, -1, -2, 2, 1, 0, -1, -2, 2);
  size_t i = 0;
  while (n < kN && i + 8 <= len) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(buf + i));
    // Byte k in lanes 2k and 2k + 1.
    const __m512i spread = _mm512_cvtepu8_epi32(_mm_unpacklo_epi8(bytes, bytes));
    const __m512i h = _mm512_and_si512(_mm512_srlv_epi32(spread, shift), nibble);
    const __mmask16 keep = subtle::public_value(_mm512_cmplt_epu32_mask(h, splat(15)));
    const __m512i v = _mm512_permutexvar_epi32(h, value);
    // Near the end only the lanes that still fit are stored.
    const int room = kN - n, got = __builtin_popcount(keep);
    _mm512_mask_storeu_epi32(a.c + n, room >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << room) - 1),
                             _mm512_maskz_compress_epi32(keep, v));
    n += got < room ? got : room;
    i += 8;
  }
  return portable::rej_eta_append(a, n, buf + i, len - i);
}

// Sixteen 18-bit values (36 bytes) at a time, each gathered from the two
// 32-bit words it touches, as in rej_ntt_append.
void unpack_mask(Poly& y, const uint8_t* in) noexcept {
  const __m512i word = _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6, 7, 7, 8);
  const __m512i next = _mm512_add_epi32(word, splat(1));
  const __m512i shift = _mm512_setr_epi32(0, 18, 4, 22, 8, 26, 12, 30, 16, 2, 20, 6, 24, 10, 28, 14);
  const __m512i back = _mm512_sub_epi32(splat(32), shift);  // 32 shifts to zero
  const __m512i mask = splat((1 << 18) - 1), top = splat(kGamma1);
  for (int g = 0; g < kN / 16; ++g) {
    const __m512i raw = _mm512_loadu_si512(in + 36 * g);
    const __m512i lo = _mm512_srlv_epi32(_mm512_permutexvar_epi32(word, raw), shift);
    const __m512i hi = _mm512_sllv_epi32(_mm512_permutexvar_epi32(next, raw), back);
    store(y.c + 16 * g, _mm512_sub_epi32(top, _mm512_and_si512(_mm512_or_si512(lo, hi), mask)));
  }
}

// Eight words of the eight states at a time: an 8 x 8 transposition of
// 64-bit words in three steps (pairs of words, pairs of pairs, halves),
// then one store of eight words per state; the last words go through masked
// loads and stores.
void lanes8_to_bytes(const uint64_t* st, size_t words, uint8_t* const out[8]) noexcept {
  for (size_t w = 0; w < words; w += 8) {
    const size_t n = words - w < 8 ? words - w : 8;
    const __mmask8 live = static_cast<__mmask8>((1u << n) - 1);
    __m512i r[8];
    for (size_t i = 0; i < 8; ++i) r[i] = i < n ? _mm512_load_si512(st + 8 * (w + i)) : _mm512_setzero_si512();
    __m512i t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
      t[i] = _mm512_unpacklo_epi64(r[i], r[i + 1]);
      t[i + 1] = _mm512_unpackhi_epi64(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
      u[i] = _mm512_shuffle_i64x2(t[i], t[i + 2], 0x88);
      u[i + 1] = _mm512_shuffle_i64x2(t[i], t[i + 2], 0xDD);
      u[i + 2] = _mm512_shuffle_i64x2(t[i + 1], t[i + 3], 0x88);
      u[i + 3] = _mm512_shuffle_i64x2(t[i + 1], t[i + 3], 0xDD);
    }
    // u[0..4) hold states {0,4}, {2,6}, {1,5}, {3,7} of words 0-3; u[4..8)
    // the same of words 4-7.
    constexpr int kState[4][2] = {{0, 4}, {2, 6}, {1, 5}, {3, 7}};
    for (int j = 0; j < 4; ++j) {
      const __m512i a = _mm512_shuffle_i64x2(u[j], u[j + 4], 0x88);
      const __m512i b = _mm512_shuffle_i64x2(u[j], u[j + 4], 0xDD);
      _mm512_mask_storeu_epi64(out[kState[j][0]] + 8 * w, live, a);
      _mm512_mask_storeu_epi64(out[kState[j][1]] + 8 * w, live, b);
    }
  }
}

}  // namespace mldsa::detail::avx512
