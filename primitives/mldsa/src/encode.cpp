#include <cstring>

#include "internal.hpp"

namespace mldsa::detail {
namespace {

// Little-endian bit packing of 256 values of `Bits` bits each; `map` turns a
// coefficient into the packed value. The loop structure depends only on Bits.
template <unsigned Bits, class Map>
void pack_bits(uint8_t* out, const Poly& p, Map map) noexcept {
  uint64_t acc = 0;
  unsigned have = 0;
  size_t o = 0;
  for (int i = 0; i < kN; ++i) {
    acc |= static_cast<uint64_t>(static_cast<uint32_t>(map(p.c[i]))) << have;
    have += Bits;
    while (have >= 8) {
      out[o++] = static_cast<uint8_t>(acc);
      acc >>= 8;
      have -= 8;
    }
  }
}

template <unsigned Bits, class Map>
void unpack_bits(Poly& p, const uint8_t* in, Map map) noexcept {
  constexpr uint64_t kMask = (uint64_t{1} << Bits) - 1;
  uint64_t acc = 0;
  unsigned have = 0;
  size_t o = 0;
  for (int i = 0; i < kN; ++i) {
    while (have < Bits) {
      acc |= static_cast<uint64_t>(in[o++]) << have;
      have += 8;
    }
    p.c[i] = map(static_cast<int32_t>(acc & kMask));
    acc >>= Bits;
    have -= Bits;
  }
}

constexpr int32_t kT0Top = 1 << (kD - 1);

}  // namespace

void pack_t1(uint8_t out[kT1PolyBytes], const Poly& t1) noexcept {
  pack_bits<10>(out, t1, [](int32_t v) { return v; });
}
void unpack_t1(Poly& t1, const uint8_t in[kT1PolyBytes]) noexcept {
  unpack_bits<10>(t1, in, [](int32_t v) { return v; });
}
void pack_t0(uint8_t out[kT0PolyBytes], const Poly& t0) noexcept {
  pack_bits<13>(out, t0, [](int32_t v) { return kT0Top - v; });
}
void unpack_t0(Poly& t0, const uint8_t in[kT0PolyBytes]) noexcept {
  unpack_bits<13>(t0, in, [](int32_t v) { return kT0Top - v; });
}
void pack_eta(uint8_t out[kEtaPolyBytes], const Poly& s) noexcept {
  pack_bits<3>(out, s, [](int32_t v) { return kEta - v; });
}
void unpack_eta(Poly& s, const uint8_t in[kEtaPolyBytes]) noexcept {
  // Values 5 to 7 give coefficients -3 to -5: they decode (as FIPS 204's
  // BitUnpack defines) and are used as they are.
  unpack_bits<3>(s, in, [](int32_t v) { return kEta - v; });
}
void pack_z(uint8_t out[kZPolyBytes], const Poly& z) noexcept {
  pack_bits<18>(out, z, [](int32_t v) { return kGamma1 - v; });
}
void unpack_z(Poly& z, const uint8_t in[kZPolyBytes]) noexcept {
  unpack_bits<18>(z, in, [](int32_t v) { return kGamma1 - v; });
}
void pack_w1(uint8_t out[kW1PolyBytes], const Poly& w1) noexcept {
  pack_bits<6>(out, w1, [](int32_t v) { return v; });
}

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
