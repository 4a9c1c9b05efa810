#include <cstring>

#include "internal.hpp"

namespace mldsa::detail {
namespace {

// Little-endian bit packing of 256 values of `Bits` bits each; `map` turns a
// coefficient into the packed value (and back). The values go in groups of
// G, which fill exactly Bits * G / 8 bytes, held in two 64-bit words while
// they are packed or unpacked; the loops depend only on Bits.
template <unsigned Bits>
struct Group {
  static constexpr unsigned kCoeffs = Bits % 2 == 0 ? (Bits % 4 == 0 ? 2 : 4) : 8;
  static constexpr unsigned kLen = Bits * kCoeffs / 8;
  static constexpr unsigned kLoLen = kLen < 8 ? kLen : 8;
  static constexpr uint64_t kMask = (uint64_t{1} << Bits) - 1;
  static_assert(kLen * 8 == Bits * kCoeffs && kLen <= 16);
};

// FIPS 204 Algorithms 16 (SimpleBitPack) and 17 (BitPack).
template <unsigned Bits, class Map>
void pack_bits(uint8_t* out, const Poly& p, Map map) noexcept {
  using G = Group<Bits>;
  for (unsigned g = 0; g < kN / G::kCoeffs; ++g) {
    uint64_t lo = 0, hi = 0;
    for (unsigned i = 0; i < G::kCoeffs; ++i) {
      const uint64_t v = static_cast<uint32_t>(map(p.c[g * G::kCoeffs + i])) & G::kMask;
      const unsigned at = i * Bits;
      if (at < 64) lo |= v << at;
      if (at + Bits > 64) hi |= at >= 64 ? v << (at - 64) : v >> (64 - at);
    }
    lo = le64(lo);
    hi = le64(hi);
    std::memcpy(out + g * G::kLen, &lo, G::kLoLen);
    if constexpr (G::kLen > 8) std::memcpy(out + g * G::kLen + 8, &hi, G::kLen - 8);
  }
}

inline uint64_t load64(const uint8_t* p) noexcept {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return le64(v);
}

// The group's bytes are read with whole 8-byte loads that stay inside the
// input: the last bytes of a group ending past an 8-byte window come from a
// window that ends with the group.
// FIPS 204 Algorithms 18 (SimpleBitUnpack) and 19 (BitUnpack).
template <unsigned Bits, class Map>
void unpack_bits(Poly& p, const uint8_t* in, Map map) noexcept {
  using G = Group<Bits>;
  constexpr size_t kTotal = size_t{Bits} * kN / 8;
  for (unsigned g = 0; g < kN / G::kCoeffs; ++g) {
    const uint8_t* at_group = in + g * G::kLen;
    uint64_t lo, hi = 0;
    if constexpr (G::kLen >= 8) {
      lo = load64(at_group);
      if constexpr (G::kLen > 8) hi = load64(at_group + G::kLen - 8) >> (8 * (16 - G::kLen));
    } else {
      constexpr uint64_t kKeep = (uint64_t{1} << (8 * G::kLen)) - 1;
      lo = g * G::kLen + 8 <= kTotal ? load64(at_group) & kKeep : load64(at_group + G::kLen - 8) >> (8 * (8 - G::kLen));
    }
    for (unsigned i = 0; i < G::kCoeffs; ++i) {
      const unsigned at = i * Bits;
      uint64_t v = at < 64 ? lo >> at : hi >> (at - 64);
      if (at < 64 && at + Bits > 64) v |= hi << (64 - at);
      p.c[g * G::kCoeffs + i] = map(static_cast<int32_t>(v & G::kMask));
    }
  }
}

constexpr int32_t kT0Top = 1 << (kD - 1);

}  // namespace

// The encodings of t1, t0, s and w1, each sent to the AVX-512 form where it
// runs.
#define MLDSA_ENCODE_DISPATCH(name, params, args)                   \
  auto name params noexcept->decltype(portable::name args) {        \
    if (active_arith() == Arith::kAvx512) return avx512::name args; \
    return portable::name args;                                     \
  }
MLDSA_ENCODE_DISPATCH(pack_t1, (uint8_t out[kT1PolyLen], const Poly& t1), (out, t1))
MLDSA_ENCODE_DISPATCH(unpack_t1, (Poly & t1, const uint8_t in[kT1PolyLen]), (t1, in))
MLDSA_ENCODE_DISPATCH(pack_t0, (uint8_t out[kT0PolyLen], const Poly& t0), (out, t0))
MLDSA_ENCODE_DISPATCH(unpack_t0, (Poly & t0, const uint8_t in[kT0PolyLen]), (t0, in))
MLDSA_ENCODE_DISPATCH(pack_eta, (uint8_t out[kEtaPolyLen], const Poly& s), (out, s))
MLDSA_ENCODE_DISPATCH(unpack_eta, (Poly & s, const uint8_t in[kEtaPolyLen]), (s, in))
MLDSA_ENCODE_DISPATCH(pack_w1, (uint8_t out[kW1PolyLen], const Poly& w1), (out, w1))
MLDSA_ENCODE_DISPATCH(pack_hint, (uint8_t out[kOmega + kK], const PolyVecK& h), (out, h))
#undef MLDSA_ENCODE_DISPATCH

namespace portable {

// FIPS 204 Algorithm 22 (pkEncode): t1 by SimpleBitPack.
void pack_t1(uint8_t out[kT1PolyLen], const Poly& t1) noexcept {
  pack_bits<10>(out, t1, [](int32_t v) { return v; });
}
// FIPS 204 Algorithm 23 (pkDecode): t1 by SimpleBitUnpack.
void unpack_t1(Poly& t1, const uint8_t in[kT1PolyLen]) noexcept {
  unpack_bits<10>(t1, in, [](int32_t v) { return v; });
}
// FIPS 204 Algorithm 24 (skEncode): t0 by BitPack.
void pack_t0(uint8_t out[kT0PolyLen], const Poly& t0) noexcept {
  pack_bits<13>(out, t0, [](int32_t v) { return kT0Top - v; });
}
// FIPS 204 Algorithm 25 (skDecode): t0 by BitUnpack.
void unpack_t0(Poly& t0, const uint8_t in[kT0PolyLen]) noexcept {
  unpack_bits<13>(t0, in, [](int32_t v) { return kT0Top - v; });
}
// FIPS 204 Algorithm 24 (skEncode): s1 and s2 by BitPack.
void pack_eta(uint8_t out[kEtaPolyLen], const Poly& s) noexcept {
  pack_bits<3>(out, s, [](int32_t v) { return kEta - v; });
}
// FIPS 204 Algorithm 25 (skDecode): s1 and s2 by BitUnpack.
uint32_t unpack_eta(Poly& s, const uint8_t in[kEtaPolyLen]) noexcept {
  // A packed value is eta - c for c in [-eta, eta], so 0 to 4; 5 to 7 lie
  // outside and the key does not decode. Every value is tested without a
  // branch: (4 - v) is negative, its top bit set, exactly for those three.
  uint32_t outside = 0;
  unpack_bits<3>(s, in, [&outside](int32_t v) {
    outside |= static_cast<uint32_t>(2 * kEta - v) >> 31;
    return kEta - v;
  });
  return outside;
}
// FIPS 204 Algorithm 28 (w1Encode).
void pack_w1(uint8_t out[kW1PolyLen], const Poly& w1) noexcept {
  pack_bits<6>(out, w1, [](int32_t v) { return v; });
}

// FIPS 204 Algorithm 20 (HintBitPack).
void pack_hint(uint8_t out[kOmega + kK], const PolyVecK& h) noexcept {
  std::memset(out, 0, kOmega + kK);
  int index = 0;
  for (int i = 0; i < kK; ++i) {
    for (int j = 0; j < kN; ++j) {
      if (h[i].c[j] != 0) out[index++] = static_cast<uint8_t>(j);
    }
    out[kOmega + i] = static_cast<uint8_t>(index);
  }
}
}  // namespace portable

// FIPS 204 Algorithm 26 (sigEncode): z by BitPack.
void pack_z(uint8_t out[kZPolyLen], const Poly& z) noexcept {
  pack_bits<18>(out, z, [](int32_t v) { return kGamma1 - v; });
}
// FIPS 204 Algorithm 27 (sigDecode): z by BitUnpack.
void unpack_z(Poly& z, const uint8_t in[kZPolyLen]) noexcept {
  unpack_bits<18>(z, in, [](int32_t v) { return kGamma1 - v; });
}
// FIPS 204 Algorithm 21 (HintBitUnpack).
bool unpack_hint(PolyVecK& h, const uint8_t in[kOmega + kK]) noexcept {
  for (auto& p : h) std::memset(p.c, 0, sizeof p.c);
  int index = 0;
  for (int i = 0; i < kK; ++i) {
    const int end = in[kOmega + i];
    if (end < index || end > kOmega) return false;
    const int first = index;
    for (; index < end; ++index) {
      if (index > first && in[index - 1] >= in[index]) return false;
      h[i].c[in[index]] = 1;
    }
  }
  for (int i = index; i < kOmega; ++i) {
    if (in[i] != 0) return false;
  }
  return true;
}

}  // namespace mldsa::detail
