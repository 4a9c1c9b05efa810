// Sponges over 4 or 8 interleaved states: the absorb, padding and squeeze
// work on the lane layout of the vector permutation, so every block costs one
// multi-lane permutation.
#include <cstring>

#include "keccak/keccak.hpp"
#include "keccak_internal.hpp"
#include "zeroize/zeroize.hpp"

namespace keccak {
namespace {

template <size_t N>
void permute_lanes(uint64_t* st) noexcept {
  if constexpr (N == 4)
    permute_x4_interleaved(st);
  else
    permute_x8_interleaved(st);
}

// Absorbs len bytes into every lane of a sponge of rate Rate; src(k) is lane
// k's data.
template <size_t N, size_t Rate, class Src>
void absorb_lanes(uint64_t* st, size_t& pos, Src src, size_t len) noexcept {
  size_t off = 0;
  while (len > 0) {
    if (pos % 8 == 0 && len >= 8) {
      size_t words = (Rate - pos) / 8;
      if (words > len / 8) words = len / 8;
      uint64_t* row = st + (pos / 8) * N;
      for (size_t w = 0; w < words; ++w)
        for (size_t k = 0; k < N; ++k) row[w * N + k] ^= load64_le(src(k) + off + 8 * w);
      pos += 8 * words;
      off += 8 * words;
      len -= 8 * words;
    } else {
      const unsigned shift = 8 * (pos % 8);
      uint64_t* row = st + (pos / 8) * N;
      for (size_t k = 0; k < N; ++k) row[k] ^= uint64_t{src(k)[off]} << shift;
      ++pos;
      ++off;
      --len;
    }
    if (pos == Rate) {
      permute_lanes<N>(st);
      pos = 0;
    }
  }
}

}  // namespace

template <size_t N, size_t Rate, uint8_t Domain>
SpongeLanes<N, Rate, Domain>::~SpongeLanes() {
  zeroize::wipe(st_, sizeof(st_));
}

template <size_t N, size_t Rate, uint8_t Domain>
void SpongeLanes<N, Rate, Domain>::reset() noexcept {
  zeroize::wipe(st_, sizeof(st_));
  pos_ = 0;
  squeezing_ = false;
}

template <size_t N, size_t Rate, uint8_t Domain>
void SpongeLanes<N, Rate, Domain>::absorb(const uint8_t* const in[N], size_t len) noexcept {
  absorb_lanes<N, Rate>(
      st_, pos_, [in](size_t k) { return in[k]; }, len);
}

template <size_t N, size_t Rate, uint8_t Domain>
void SpongeLanes<N, Rate, Domain>::absorb_all(const uint8_t* data, size_t len) noexcept {
  absorb_lanes<N, Rate>(
      st_, pos_, [data](size_t) { return data; }, len);
}

// The domain byte after the last input byte and the final bit of the block;
// the permutation that follows belongs to the first output block.
template <size_t N, size_t Rate, uint8_t Domain>
void SpongeLanes<N, Rate, Domain>::pad() noexcept {
  for (size_t k = 0; k < N; ++k) keccak::pad(st_ + k, N, pos_, Rate, Domain);
  squeezing_ = true;
}

template <size_t N, size_t Rate, uint8_t Domain>
void SpongeLanes<N, Rate, Domain>::squeeze(uint8_t* const out[N], size_t blocks) noexcept {
  if (!squeezing_) pad();
  for (size_t b = 0; b < blocks; ++b) {
    permute_lanes<N>(st_);
    for (size_t w = 0; w < Rate / 8; ++w)
      for (size_t k = 0; k < N; ++k) {
        const uint64_t v = le64(st_[w * N + k]);
        std::memcpy(out[k] + b * Rate + 8 * w, &v, 8);
      }
  }
}

template <size_t N, size_t Rate, uint8_t Domain>
void SpongeLanes<N, Rate, Domain>::final(uint8_t (*out)[32]) noexcept {
  pad();
  permute_lanes<N>(st_);
  for (size_t k = 0; k < N; ++k)
    for (size_t w = 0; w < 4; ++w) {
      const uint64_t v = le64(st_[w * N + k]);
      std::memcpy(out[k] + 8 * w, &v, 8);
    }
  reset();
}

template class SpongeLanes<4, 136, 0x01>;
template class SpongeLanes<8, 136, 0x01>;
template class SpongeLanes<4, 168, 0x1F>;
template class SpongeLanes<8, 168, 0x1F>;
template class SpongeLanes<4, 136, 0x1F>;
template class SpongeLanes<8, 136, 0x1F>;

void keccak256_x4(const uint8_t* const in[4], size_t len, uint8_t (*out)[32]) noexcept {
  Keccak256x4 h;
  h.absorb(in, len);
  h.final(out);
}

void keccak256_x8(const uint8_t* const in[8], size_t len, uint8_t (*out)[32]) noexcept {
  Keccak256x8 h;
  h.absorb(in, len);
  h.final(out);
}

PermutationCalls keccak256_many(const uint8_t* const* in, size_t count, size_t len, uint8_t (*out)[32]) noexcept {
  const uint64_t per_lane = keccak256_permutations(len);
  PermutationCalls calls{.x8 = count / 8 * per_lane};
  size_t i = 0;
  for (; count - i >= 8; i += 8) keccak256_x8(in + i, len, out + i);
  if (count - i >= 4) {
    keccak256_x4(in + i, len, out + i);
    calls.x4 += per_lane;
    i += 4;
  }
  const size_t rem = count - i;
  if (rem == 1) {
    const auto d = keccak256(in[i], len);
    std::memcpy(out[i], d.data(), 32);
    calls.x1 += per_lane;
  } else if (rem > 1) {
    // Two or three inputs: fill the spare lanes with the first one and drop
    // their digests.
    const uint8_t* lanes[4] = {in[i], in[i], in[i], in[i]};
    for (size_t k = 0; k < rem; ++k) lanes[k] = in[i + k];
    uint8_t dig[4][32];
    keccak256_x4(lanes, len, dig);
    std::memcpy(out[i], dig, 32 * rem);
    zeroize::wipe(dig, sizeof(dig));
    calls.x4 += per_lane;
  }
  return calls;
}

}  // namespace keccak
