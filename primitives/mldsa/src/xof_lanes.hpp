// N independent SHAKE streams (N = 4 or 8) run side by side on the
// multi-lane Keccak permutation. Every stream starts from a shared seed
// followed by a two-byte index of its own, the form every expansion of
// ML-DSA uses; the streams are then squeezed whole blocks at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "keccak/keccak.hpp"

namespace mldsa::detail {

template <size_t N, size_t Rate>
class XofLanes : public keccak::SpongeLanes<N, Rate, 0x1F> {
 public:
  // Stream k absorbs seed[0..seed_len) || index[k] (little-endian 16 bits).
  XofLanes(const uint8_t* seed, size_t seed_len, const uint16_t index[N]) noexcept {
    uint8_t idx[N][2];
    const uint8_t* p[N];
    for (size_t k = 0; k < N; ++k) {
      idx[k][0] = static_cast<uint8_t>(index[k]);
      idx[k][1] = static_cast<uint8_t>(index[k] >> 8);
      p[k] = idx[k];
    }
    this->absorb_all(seed, seed_len);
    this->absorb(p, 2);
  }
  XofLanes(const XofLanes&) = delete;
  XofLanes& operator=(const XofLanes&) = delete;
};

using Shake128x8 = XofLanes<8, keccak::Shake128::kRate>;
using Shake256x4 = XofLanes<4, keccak::Shake256::kRate>;
using Shake256x8 = XofLanes<8, keccak::Shake256::kRate>;

}  // namespace mldsa::detail
