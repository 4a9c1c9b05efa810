// The negacyclic NTT of modp.cpp on eight lanes. Stages whose butterflies
// span eight values or more take whole registers; the last three stages
// (spans 4, 2 and 1) first regroup two registers so that one holds the
// low and one the high halves of their blocks, and the roots are laid out
// in the same order.
#include "modp_avx2.hpp"

namespace fndsa::kgen {

namespace {

using avx2::load8;
using avx2::ModpX8;
using avx2::store8;

inline __m256i set_roots(const uint32_t* z, int i0, int i1, int i2, int i3, int i4, int i5, int i6, int i7) noexcept {
  return _mm256_setr_epi32(static_cast<int>(z[i0]), static_cast<int>(z[i1]), static_cast<int>(z[i2]),
                           static_cast<int>(z[i3]), static_cast<int>(z[i4]), static_cast<int>(z[i5]),
                           static_cast<int>(z[i6]), static_cast<int>(z[i7]));
}

// Splits (A, B), 16 values of the blocks of span h in {4, 2, 1}, into the
// registers of their low and high halves; join() is its inverse.
template <unsigned H>
inline void split(__m256i A, __m256i B, __m256i& L, __m256i& Hi) noexcept {
  if constexpr (H == 4) {
    L = _mm256_permute2x128_si256(A, B, 0x20);
    Hi = _mm256_permute2x128_si256(A, B, 0x31);
  } else if constexpr (H == 2) {
    L = _mm256_unpacklo_epi64(A, B);
    Hi = _mm256_unpackhi_epi64(A, B);
  } else {
    const __m256i a = _mm256_shuffle_epi32(A, 0xD8), b = _mm256_shuffle_epi32(B, 0xD8);
    L = _mm256_unpacklo_epi64(a, b);
    Hi = _mm256_unpackhi_epi64(a, b);
  }
}

template <unsigned H>
inline void join(__m256i L, __m256i Hi, __m256i& A, __m256i& B) noexcept {
  if constexpr (H == 4) {
    A = _mm256_permute2x128_si256(L, Hi, 0x20);
    B = _mm256_permute2x128_si256(L, Hi, 0x31);
  } else if constexpr (H == 2) {
    A = _mm256_unpacklo_epi64(L, Hi);
    B = _mm256_unpackhi_epi64(L, Hi);
  } else {
    A = _mm256_shuffle_epi32(_mm256_unpacklo_epi64(L, Hi), 0xD8);
    B = _mm256_shuffle_epi32(_mm256_unpackhi_epi64(L, Hi), 0xD8);
  }
}

// The roots of the blocks met by one pair of registers, lane by lane (z
// points at the root of the pair's first block).
template <unsigned H>
inline __m256i pair_roots(const uint32_t* z) noexcept {
  if constexpr (H == 4)
    return set_roots(z, 0, 0, 0, 0, 1, 1, 1, 1);
  else if constexpr (H == 2)
    return set_roots(z, 0, 0, 2, 2, 1, 1, 3, 3);
  else
    return set_roots(z, 0, 1, 4, 5, 2, 3, 6, 7);
}

template <unsigned H>
void small_stage_forward(const ModpX8& m, const uint32_t* roots, uint32_t* a, size_t n) noexcept {
  const size_t blocks = n / (2 * H);
  for (size_t i = 0; i < n; i += 16) {
    __m256i L, Hi;
    split<H>(load8(a + i), load8(a + i + 8), L, Hi);
    const __m256i t = m.mont(Hi, pair_roots<H>(roots + blocks + i / (2 * H)));
    __m256i A, B;
    join<H>(m.add(L, t), m.sub(L, t), A, B);
    store8(a + i, A);
    store8(a + i + 8, B);
  }
}

template <unsigned H>
void small_stage_inverse(const ModpX8& m, const uint32_t* iroots, uint32_t* a, size_t n) noexcept {
  const size_t blocks = n / (2 * H);
  for (size_t i = 0; i < n; i += 16) {
    __m256i L, Hi;
    split<H>(load8(a + i), load8(a + i + 8), L, Hi);
    const __m256i z = pair_roots<H>(iroots + blocks + i / (2 * H));
    __m256i A, B;
    join<H>(m.add(L, Hi), m.mont(m.sub(L, Hi), z), A, B);
    store8(a + i, A);
    store8(a + i + 8, B);
  }
}

}  // namespace

void ntt_avx2(const PrimeCtx& pc, uint32_t* a, unsigned logn) noexcept {
  const ModpX8 m(pc.m);
  const size_t n = size_t{1} << logn;
  size_t blocks = 1, h = n >> 1;
  for (; h >= 8; blocks <<= 1, h >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const __m256i z = _mm256_set1_epi32(static_cast<int>(pc.roots[blocks + b]));
      uint32_t* lo = a + 2 * h * b;
      uint32_t* hi = lo + h;
      for (size_t j = 0; j < h; j += 8) {
        const __m256i x = load8(lo + j);
        const __m256i t = m.mont(load8(hi + j), z);
        store8(hi + j, m.sub(x, t));
        store8(lo + j, m.add(x, t));
      }
    }
  }
  small_stage_forward<4>(m, pc.roots, a, n);
  small_stage_forward<2>(m, pc.roots, a, n);
  small_stage_forward<1>(m, pc.roots, a, n);
}

void intt_avx2(const PrimeCtx& pc, uint32_t* a, unsigned logn, bool undo_mont) noexcept {
  const ModpX8 m(pc.m);
  const size_t n = size_t{1} << logn;
  small_stage_inverse<1>(m, pc.iroots, a, n);
  small_stage_inverse<2>(m, pc.iroots, a, n);
  small_stage_inverse<4>(m, pc.iroots, a, n);
  for (size_t h = 8, blocks = n >> 4; blocks >= 1; h <<= 1, blocks >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const __m256i z = _mm256_set1_epi32(static_cast<int>(pc.iroots[blocks + b]));
      uint32_t* lo = a + 2 * h * b;
      uint32_t* hi = lo + h;
      for (size_t j = 0; j < h; j += 8) {
        const __m256i u = load8(lo + j), v = load8(hi + j);
        store8(lo + j, m.add(u, v));
        store8(hi + j, m.mont(m.sub(u, v), z));
      }
    }
  }
  const __m256i s = _mm256_set1_epi32(static_cast<int>(undo_mont ? pc.inv_n_r[logn] : pc.inv_n[logn]));
  for (size_t j = 0; j < n; j += 8) store8(a + j, m.mont(load8(a + j), s));
}

}  // namespace fndsa::kgen

namespace fndsa::kgen {

// a[i] <- a[i] / b[i] by Montgomery's simultaneous inversion: lane l
// takes the values l, l + 8, ...; the running products of a lane are
// inverted once (Fermat) and then unwound, each inverse costing three
// products. An inverse is unique, so the quotients equal the portable
// ones whenever no b[i] is zero (then they are unspecified).
void div_avx2(const Modp& m, uint32_t* a, const uint32_t* b, size_t n, uint32_t* scratch) noexcept {
  const ModpX8 v(m);
  const __m256i r2 = _mm256_set1_epi32(static_cast<int>(m.r2_mod));
  // scratch[i] = b[0] b[1] ... b[i] per lane, Montgomery form.
  __m256i run = v.mont(load8(b), r2);
  store8(scratch, run);
  for (size_t i = 8; i < n; i += 8) {
    run = v.mont(run, v.mont(load8(b + i), r2));
    store8(scratch + i, run);
  }
  __m256i inv = _mm256_set1_epi32(static_cast<int>(m.r_mod));
  for (uint32_t e = m.p - 2; e != 0; e >>= 1) {
    if (e & 1) inv = v.mont(inv, run);
    run = v.mont(run, run);
  }
  // inv = 1/(b[0] ... b[i]); 1/b[i] = inv b[0] ... b[i-1].
  for (size_t i = n - 8; i > 0; i -= 8) {
    const __m256i bi = v.mont(load8(b + i), r2);
    const __m256i qi = v.mont(inv, load8(scratch + i - 8));
    store8(a + i, v.mont(load8(a + i), qi));
    inv = v.mont(inv, bi);
  }
  store8(a, v.mont(load8(a), inv));
}

}  // namespace fndsa::kgen

namespace fndsa::kgen {

// a[i] <- a[i] b[i] for values below 2^16, as m.mont(m.to_mont(a), b).
void mul16_avx2(const Modp& m, uint16_t* a, const uint16_t* b, size_t n) noexcept {
  const ModpX8 v(m);
  const __m256i r2 = _mm256_set1_epi32(static_cast<int>(m.r2_mod));
  for (size_t i = 0; i < n; i += 16) {
    __m256i r[2];
    for (size_t h = 0; h < 2; ++h) {
      const __m256i x = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i + 8 * h)));
      const __m256i y = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + 8 * h)));
      r[h] = v.mont(v.mont(x, r2), y);
    }
    // packus works within 128-bit halves: restore the order afterwards.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(r[0], r[1]), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(a + i), packed);
  }
}

}  // namespace fndsa::kgen
