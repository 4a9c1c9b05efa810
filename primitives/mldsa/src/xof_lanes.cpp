#include "xof_lanes.hpp"

#include <cstring>

#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail {
namespace {

constexpr uint8_t kShakeDomain = 0x1F;

// XORs byte b into byte position pos of every stream's state.
template <size_t N>
inline void xor_byte(uint64_t* st, size_t pos, size_t k, uint8_t b) noexcept {
  st[(pos / 8) * N + k] ^= uint64_t{b} << (8 * (pos % 8));
}

}  // namespace

template <size_t N, size_t Rate>
XofLanes<N, Rate>::XofLanes(const uint8_t* seed, size_t seed_len,
                            const uint16_t index[N]) noexcept {
  for (size_t k = 0; k < N; ++k) {
    for (size_t i = 0; i < seed_len; ++i) xor_byte<N>(st_, i, k, seed[i]);
    xor_byte<N>(st_, seed_len, k, static_cast<uint8_t>(index[k]));
    xor_byte<N>(st_, seed_len + 1, k, static_cast<uint8_t>(index[k] >> 8));
    xor_byte<N>(st_, seed_len + 2, k, kShakeDomain);
    xor_byte<N>(st_, Rate - 1, k, 0x80);
  }
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
        uint64_t v = st_[w * N + k];
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        v = __builtin_bswap64(v);
#endif
        std::memcpy(out[k] + b * Rate + 8 * w, &v, 8);
      }
    }
  }
}

template class XofLanes<8, 168>;
template class XofLanes<4, 136>;
template class XofLanes<8, 136>;

}  // namespace mldsa::detail
