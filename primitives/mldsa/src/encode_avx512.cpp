// AVX-512 forms of the fixed-width encodings. The coefficients are mapped
// sixteen at a time and narrowed to bytes or 16-bit words; the bit fields
// are then squeezed out of (or spread back into) 64-bit words with PEXT and
// PDEP, which take the same time whatever the data on every processor with
// AVX-512. The bytes equal those of the portable forms (encode.cpp),
// including the masking of out-of-range values to the field width.
#include <cstring>

#include "avx512_ops.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail::avx512 {
namespace {

// `Bits` set at the bottom of each `Width`-bit field of a 64-bit word.
template <unsigned Bits, unsigned Width>
constexpr uint64_t field_mask() {
  uint64_t m = 0;
  for (unsigned at = 0; at < 64; at += Width) m |= ((uint64_t{1} << Bits) - 1) << at;
  return m;
}

// The groups of `Bits` bytes, kN / 8 of them, that can be read or written
// with `span` bytes from their start without leaving the encoding.
constexpr int whole_words(unsigned bits, unsigned span) {
  int n = 0;
  while (n < kN / 8 && bits * n + span <= bits * kN / 8) ++n;
  return n;
}

// Eight bytes at p, or the first `len` of them (the rest zero).
inline uint64_t get(const uint8_t* p, size_t len) noexcept {
  uint64_t v = 0;
  std::memcpy(&v, p, len);
  return v;
}
inline void put(uint8_t* p, uint64_t v, size_t len) noexcept { std::memcpy(p, &v, len); }

// The mapped coefficients, truncated to bytes or 16-bit words.
template <class Map>
void narrow_mapped(uint8_t* out, const Poly& p, Map map) noexcept {
  for (int g = 0; g < kN; g += 16)
    _mm_store_si128(reinterpret_cast<__m128i*>(out + g), _mm512_cvtepi32_epi8(map(load(p.c + g))));
}
template <class Map>
void narrow_mapped(uint16_t* out, const Poly& p, Map map) noexcept {
  for (int g = 0; g < kN; g += 16)
    _mm256_store_si256(reinterpret_cast<__m256i*>(out + g), _mm512_cvtepi32_epi16(map(load(p.c + g))));
}

// Packs 256 values of Bits <= 8 bits: each group of eight (one 64-bit word
// of bytes) fills Bits bytes. The groups whose whole word lies inside the
// output are written as whole words (the next group overwrites the
// surplus), the last ones byte-exact.
template <unsigned Bits, class Map>
void pack_bytes(uint8_t* out, const Poly& p, Map map) noexcept {
  alignas(64) uint8_t narrow[kN];
  narrow_mapped(narrow, p, map);
  constexpr uint64_t kMask = field_mask<Bits, 8>();
  constexpr int kGroups = kN / 8, kWhole = whole_words(Bits, 8);
  for (int k = 0; k < kWhole; ++k) put(out + Bits * k, _pext_u64(get(narrow + 8 * k, 8), kMask), 8);
  for (int k = kWhole; k < kGroups; ++k) put(out + Bits * k, _pext_u64(get(narrow + 8 * k, 8), kMask), Bits);
  zeroize::wipe(narrow, sizeof narrow);
}

// Packs 256 values of 8 < Bits <= 16 bits: each group of eight (two 64-bit
// words of 16-bit values) fills Bits bytes, written as 8 + (Bits - 8).
template <unsigned Bits, class Map>
void pack_words(uint8_t* out, const Poly& p, Map map) noexcept {
  alignas(64) uint16_t narrow[kN];
  narrow_mapped(narrow, p, map);
  constexpr uint64_t kMask = field_mask<Bits, 16>();
  constexpr unsigned kHalf = 4 * Bits;  // bits of four values
  static_assert(kHalf < 64 && Bits > 8);
  constexpr int kGroups = kN / 8, kWhole = whole_words(Bits, 16);
  for (int k = 0; k < kGroups; ++k) {
    uint64_t a, b;
    std::memcpy(&a, narrow + 8 * k, 8);
    std::memcpy(&b, narrow + 8 * k + 4, 8);
    a = _pext_u64(a, kMask);
    b = _pext_u64(b, kMask);
    uint8_t* at = out + Bits * k;
    put(at, a | (b << kHalf), 8);
    const uint64_t rest = b >> (64 - kHalf);
    if (k < kWhole)
      put(at + 8, rest, 8);
    else
      put(at + 8, rest, Bits - 8);
  }
  zeroize::wipe(narrow, sizeof narrow);
}

// The inverses: the fields spread into bytes (or 16-bit words), widened
// sixteen at a time and mapped; `map` sees every group of sixteen.
template <unsigned Bits, class Map>
void unpack_bytes(Poly& p, const uint8_t* in, Map map) noexcept {
  alignas(64) uint8_t narrow[kN];
  constexpr uint64_t kMask = field_mask<Bits, 8>();
  constexpr int kGroups = kN / 8, kWhole = whole_words(Bits, 8);
  for (int k = 0; k < kGroups; ++k) {
    const uint64_t w = _pdep_u64(k < kWhole ? get(in + Bits * k, 8) : get(in + Bits * k, Bits), kMask);
    std::memcpy(narrow + 8 * k, &w, 8);
  }
  for (int g = 0; g < kN; g += 16)
    store(p.c + g, map(_mm512_cvtepu8_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(narrow + g)))));
  zeroize::wipe(narrow, sizeof narrow);
}

template <unsigned Bits, class Map>
void unpack_words(Poly& p, const uint8_t* in, Map map) noexcept {
  alignas(64) uint16_t narrow[kN];
  constexpr uint64_t kMask = field_mask<Bits, 16>();
  constexpr unsigned kHalf = 4 * Bits;
  constexpr int kGroups = kN / 8, kWhole = whole_words(Bits, 16);
  for (int k = 0; k < kGroups; ++k) {
    const uint8_t* at = in + Bits * k;
    const uint64_t lo = get(at, 8), hi = k < kWhole ? get(at + 8, 8) : get(at + 8, Bits - 8);
    const uint64_t a = _pdep_u64(lo, kMask), b = _pdep_u64((lo >> kHalf) | (hi << (64 - kHalf)), kMask);
    std::memcpy(narrow + 8 * k, &a, 8);
    std::memcpy(narrow + 8 * k + 4, &b, 8);
  }
  for (int g = 0; g < kN; g += 16)
    store(p.c + g, map(_mm512_cvtepu16_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(narrow + g)))));
  zeroize::wipe(narrow, sizeof narrow);
}

constexpr int32_t kT0Top = 1 << (kD - 1);
inline __m512i same(__m512i v) { return v; }

}  // namespace

void pack_t1(uint8_t out[kT1PolyLen], const Poly& t1) noexcept { pack_words<10>(out, t1, same); }
void unpack_t1(Poly& t1, const uint8_t in[kT1PolyLen]) noexcept { unpack_words<10>(t1, in, same); }
void pack_t0(uint8_t out[kT0PolyLen], const Poly& t0) noexcept {
  pack_words<13>(out, t0, [](__m512i v) { return _mm512_sub_epi32(splat(kT0Top), v); });
}
void unpack_t0(Poly& t0, const uint8_t in[kT0PolyLen]) noexcept {
  unpack_words<13>(t0, in, [](__m512i v) { return _mm512_sub_epi32(splat(kT0Top), v); });
}
void pack_eta(uint8_t out[kEtaPolyLen], const Poly& s) noexcept {
  pack_bytes<3>(out, s, [](__m512i v) { return _mm512_sub_epi32(splat(kEta), v); });
}
uint32_t unpack_eta(Poly& s, const uint8_t in[kEtaPolyLen]) noexcept {
  // Packed values above 2 eta do not decode; the verdict gathers every one.
  __mmask16 outside = 0;
  unpack_bytes<3>(s, in, [&outside](__m512i v) {
    outside |= _mm512_cmpgt_epi32_mask(v, splat(2 * kEta));
    return _mm512_sub_epi32(splat(kEta), v);
  });
  return outside != 0;
}
void pack_w1(uint8_t out[kW1PolyLen], const Poly& w1) noexcept { pack_bytes<6>(out, w1, same); }

// The positions of the ones, sixteen coefficients at a time: packed
// together, narrowed to bytes and stored at the running count.
void pack_hint(uint8_t out[kOmega + kK], const PolyVecK& h) noexcept {
  uint8_t at[kOmega + 16] = {};
  const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  int index = 0;
  for (int i = 0; i < kK; ++i) {
    for (int j = 0; j < kN; j += 16) {
      const __mmask16 ones = _mm512_test_epi32_mask(load(h[i].c + j), load(h[i].c + j));
      const __m512i where = _mm512_maskz_compress_epi32(ones, _mm512_add_epi32(iota, splat(j)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(at + index), _mm512_cvtepi32_epi8(where));
      index += __builtin_popcount(ones);
    }
    out[kOmega + i] = static_cast<uint8_t>(index);
  }
  // Past the last index, zero bytes.
  for (int k = 0; k < kOmega; ++k) out[k] = k < index ? at[k] : 0;
}

}  // namespace mldsa::detail::avx512
