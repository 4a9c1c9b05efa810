// Keccak-256 over 4 or 8 interleaved states: the absorb, padding and squeeze
// work on the lane layout of the vector permutation, so every block costs one
// multi-lane permutation.
#include <cstring>

#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"

namespace keccak {
namespace {

inline uint64_t load64_le(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

template <size_t N>
void permute_lanes(uint64_t* st) noexcept {
  if constexpr (N == 4)
    permute_x4_interleaved(st);
  else
    permute_x8_interleaved(st);
}

// Absorbs len bytes into every lane; src(k) is lane k's data.
template <size_t N, class Src>
void absorb_lanes(uint64_t* st, size_t& pos, Src src, size_t len) noexcept {
  constexpr size_t kRate = Keccak256Lanes<N>::kRate;
  size_t off = 0;
  while (len > 0) {
    if (pos % 8 == 0 && len >= 8) {
      size_t words = (kRate - pos) / 8;
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
    if (pos == kRate) {
      permute_lanes<N>(st);
      pos = 0;
    }
  }
}

}  // namespace

template <size_t N>
Keccak256Lanes<N>::~Keccak256Lanes() {
  zeroize::wipe(st_, sizeof(st_));
}

template <size_t N>
void Keccak256Lanes<N>::reset() noexcept {
  zeroize::wipe(st_, sizeof(st_));
  pos_ = 0;
}

template <size_t N>
void Keccak256Lanes<N>::absorb(const uint8_t* const in[N], size_t len) noexcept {
  absorb_lanes<N>(st_, pos_, [in](size_t k) { return in[k]; }, len);
}

template <size_t N>
void Keccak256Lanes<N>::absorb_all(const uint8_t* data, size_t len) noexcept {
  absorb_lanes<N>(st_, pos_, [data](size_t) { return data; }, len);
}

template <size_t N>
void Keccak256Lanes<N>::final(uint8_t (*out)[32]) noexcept {
  uint64_t* first = st_ + (pos_ / 8) * N;
  uint64_t* last = st_ + ((kRate - 1) / 8) * N;
  for (size_t k = 0; k < N; ++k) {
    first[k] ^= uint64_t{0x01} << (8 * (pos_ % 8));
    last[k] ^= uint64_t{0x80} << (8 * ((kRate - 1) % 8));
  }
  permute_lanes<N>(st_);
  for (size_t k = 0; k < N; ++k)
    for (size_t w = 0; w < 4; ++w) {
      uint64_t v = st_[w * N + k];
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      v = __builtin_bswap64(v);
#endif
      std::memcpy(out[k] + 8 * w, &v, 8);
    }
  reset();
}

template class Keccak256Lanes<4>;
template class Keccak256Lanes<8>;

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

void keccak256_many(const uint8_t* const* in, size_t count, size_t len,
                    uint8_t (*out)[32]) noexcept {
  size_t i = 0;
  for (; count - i >= 8; i += 8) keccak256_x8(in + i, len, out + i);
  if (count - i >= 4) {
    keccak256_x4(in + i, len, out + i);
    i += 4;
  }
  const size_t rem = count - i;
  if (rem == 1) {
    const auto d = keccak256(in[i], len);
    std::memcpy(out[i], d.data(), 32);
  } else if (rem > 1) {
    // Two or three inputs: fill the spare lanes with the first one and drop
    // their digests.
    const uint8_t* lanes[4] = {in[i], in[i], in[i], in[i]};
    for (size_t k = 0; k < rem; ++k) lanes[k] = in[i + k];
    uint8_t dig[4][32];
    keccak256_x4(lanes, len, dig);
    std::memcpy(out[i], dig, 32 * rem);
    zeroize::wipe(dig, sizeof(dig));
  }
}

}  // namespace keccak
