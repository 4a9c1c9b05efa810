// N independent SHAKE streams (N = 4 or 8) run side by side on the
// multi-lane Keccak permutation. Every stream starts from a shared seed
// followed by a two-byte index of its own, the form every expansion of
// ML-DSA uses; the streams are then squeezed whole blocks at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail {

// Words [0, words) of each of eight interleaved Keccak states (word i of
// state k at st[8 i + k]) written little-endian to out[k]. The AVX-512 form
// transposes eight words of the eight states at a time.
void lanes8_to_bytes(const uint64_t* st, size_t words, uint8_t* const out[8]) noexcept;
namespace portable {
void lanes8_to_bytes(const uint64_t* st, size_t words, uint8_t* const out[8]) noexcept;
}
namespace avx512 {
void lanes8_to_bytes(const uint64_t* st, size_t words, uint8_t* const out[8]) noexcept;
}

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

// Eight streams whose whole input (seed and index, at most a block less
// two bytes) is laid into the padded first block at once; each squeezed
// block is one eight-lane permutation and one transposition.
template <size_t Rate>
class XofLanes8 {
 public:
  static constexpr size_t kLanes = 8;
  static constexpr size_t kRate = Rate;
  static_assert(Rate % 8 == 0 && Rate < 200);

  XofLanes8(const uint8_t* seed, size_t seed_len, const uint16_t index[8]) noexcept {
    restart(seed, seed_len, index, 8);
  }
  // Starts streams k < lanes afresh on seed || index[k]; the other lanes
  // keep their state.
  void restart(const uint8_t* seed, size_t seed_len, const uint16_t index[8], size_t lanes) noexcept {
    // seed_len + 2 < Rate, so the domain byte and the final bit fit.
    uint8_t block[Rate] = {};
    for (size_t i = 0; i < seed_len; ++i) block[i] = seed[i];
    block[seed_len + 2] = 0x1F;
    block[Rate - 1] |= 0x80;
    for (size_t w = 0; w < 25; ++w) {
      uint64_t v = 0;
      for (size_t b = 0; w < Rate / 8 && b < 8; ++b) v |= uint64_t{block[8 * w + b]} << (8 * b);
      for (size_t k = 0; k < lanes; ++k) st_[8 * w + k] = v;
    }
    // The index bytes, lane by lane.
    for (size_t k = 0; k < lanes; ++k)
      for (size_t b = 0; b < 2; ++b) {
        const size_t at = seed_len + b;
        st_[8 * (at / 8) + k] |= uint64_t{static_cast<uint8_t>(index[k] >> (8 * b))} << (8 * (at % 8));
      }
    zeroize::wipe(block, sizeof block);
  }
  // Word i of lane k, for a caller that runs a sponge of its own there.
  uint64_t& word(size_t i, size_t k) noexcept { return st_[8 * i + k]; }
  ~XofLanes8() { zeroize::wipe(st_, sizeof st_); }
  XofLanes8(const XofLanes8&) = delete;
  XofLanes8& operator=(const XofLanes8&) = delete;

  // Writes the next `blocks` blocks of stream k to out[k].
  void squeeze(uint8_t* const out[8], size_t blocks) noexcept {
    for (size_t b = 0; b < blocks; ++b) {
      keccak::permute_x8_interleaved(st_);
      uint8_t* at[8];
      for (size_t k = 0; k < 8; ++k) at[k] = out[k] + b * Rate;
      lanes8_to_bytes(st_, Rate / 8, at);
    }
  }

 private:
  alignas(64) uint64_t st_[25 * 8] = {};
};

using Shake128x4 = XofLanes<4, keccak::Shake128::kRate>;
using Shake128x8 = XofLanes8<keccak::Shake128::kRate>;
using Shake256x4 = XofLanes<4, keccak::Shake256::kRate>;
using Shake256x8 = XofLanes8<keccak::Shake256::kRate>;

}  // namespace mldsa::detail
