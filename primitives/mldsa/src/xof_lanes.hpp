// N independent SHAKE streams (N = 4 or 8) run side by side on the
// multi-lane Keccak permutation. Every stream starts from a shared seed
// followed by a two-byte index of its own, the form every expansion of
// ML-DSA uses; the streams are then squeezed one block at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mldsa::detail {

template <size_t N, size_t Rate>
class XofLanes {
 public:
  static_assert(N == 4 || N == 8, "4 or 8 lanes");
  static constexpr size_t kRate = Rate;

  // Stream k absorbs seed[0..seed_len) || index[k] (little-endian 16 bits)
  // and is padded; seed_len + 2 must be below the rate.
  XofLanes(const uint8_t* seed, size_t seed_len, const uint16_t index[N]) noexcept;
  ~XofLanes();
  XofLanes(const XofLanes&) = delete;
  XofLanes& operator=(const XofLanes&) = delete;

  // Writes the next `blocks` blocks of stream k to out[k].
  void squeeze(uint8_t* const out[N], size_t blocks) noexcept;

 private:
  alignas(64) uint64_t st_[25 * N] = {};  // word i of stream k at [i * N + k]
};

using Shake128x8 = XofLanes<8, 168>;
using Shake256x4 = XofLanes<4, 136>;
using Shake256x8 = XofLanes<8, 136>;

extern template class XofLanes<8, 168>;
extern template class XofLanes<4, 136>;
extern template class XofLanes<8, 136>;

}  // namespace mldsa::detail
