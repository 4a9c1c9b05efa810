#include "xof_lanes.hpp"

#include <cstring>

#include "internal.hpp"
#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail {
namespace {

constexpr uint8_t kShakeDomain = 0x1F;

}  // namespace

template <size_t N, size_t Rate>
XofLanes<N, Rate>::XofLanes(const uint8_t* seed, size_t seed_len,
                            const uint16_t index[N]) noexcept {
  // Each stream's only input block, padded, goes into its lane word by word.
  alignas(8) uint8_t block[Rate] = {};
  std::memcpy(block, seed, seed_len);
  block[seed_len + 2] = kShakeDomain;
  block[Rate - 1] |= 0x80;
  for (size_t k = 0; k < N; ++k) {
    block[seed_len] = static_cast<uint8_t>(index[k]);
    block[seed_len + 1] = static_cast<uint8_t>(index[k] >> 8);
    for (size_t w = 0; w < Rate / 8; ++w) {
      uint64_t v;
      std::memcpy(&v, block + 8 * w, 8);
      st_[w * N + k] = le64(v);
    }
  }
  zeroize::wipe(block, sizeof block);
}

template <size_t N, size_t Rate>
XofLanes<N, Rate>::~XofLanes() {
  zeroize::wipe(st_, sizeof st_);
}

template <size_t N, size_t Rate>
void XofLanes<N, Rate>::squeeze(uint8_t* const out[N], size_t blocks) noexcept {
  for (size_t b = 0; b < blocks; ++b) {
    if constexpr (N == 4) keccak::permute_x4_interleaved(st_);
    else keccak::permute_x8_interleaved(st_);
    for (size_t w = 0; w < Rate / 8; ++w) {
      for (size_t k = 0; k < N; ++k) {
        const uint64_t v = le64(st_[w * N + k]);
        std::memcpy(out[k] + b * Rate + 8 * w, &v, 8);
      }
    }
  }
}

template class XofLanes<8, 168>;
template class XofLanes<4, 136>;
template class XofLanes<8, 136>;

}  // namespace mldsa::detail
