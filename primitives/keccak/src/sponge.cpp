#include <cstring>

#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"
#include "keccak_internal.hpp"

namespace keccak {
namespace {

inline uint8_t* bytes(State& s) { return reinterpret_cast<uint8_t*>(s.data()); }

}  // namespace

Sponge::Sponge(size_t rate, uint8_t domain, PermuteFn permute) noexcept
    : permute_(permute), rate_(rate), domain_(domain) {}

Sponge::~Sponge() { zeroize::wipe(st_.data(), sizeof(st_)); }

void Sponge::reset() noexcept {
  zeroize::wipe(st_.data(), sizeof(st_));
  pos_ = 0;
  squeezing_ = false;
}

// Whole words go in with one XOR each. A run that starts inside a word or is
// shorter than one is gathered into a word in registers (no copy of the input
// is left in memory) and XORed in shifted to its place.
void Sponge::absorb(const uint8_t* data, size_t len) noexcept {
  while (len > 0) {
    size_t take;
    if (pos_ % 8 == 0 && len >= 8 && rate_ - pos_ >= 8) {
      size_t words = (rate_ - pos_) / 8;
      if (words > len / 8) words = len / 8;
      uint64_t* row = st_.data() + pos_ / 8;
      for (size_t w = 0; w < words; ++w) {
        uint64_t v;
        std::memcpy(&v, data + 8 * w, 8);
        row[w] ^= v;
      }
      take = 8 * words;
    } else {
      const size_t at = pos_ % 8;
      take = 8 - at;
      if (take > rate_ - pos_) take = rate_ - pos_;
      if (take > len) take = len;
      uint64_t v = 0;
      for (size_t i = 0; i < take; ++i) v |= uint64_t{data[i]} << (8 * (at + i));
      st_[pos_ / 8] ^= le64(v);
    }
    pos_ += take;
    data += take;
    len -= take;
    if (pos_ == rate_) {
      permute_(st_);
      pos_ = 0;
    }
  }
}

void Sponge::finalize() noexcept {
  if (squeezing_) return;
  uint8_t* s = bytes(st_);
  s[pos_] ^= domain_;
  s[rate_ - 1] ^= 0x80;
  permute_(st_);
  pos_ = 0;
  squeezing_ = true;
}

void Sponge::squeeze(uint8_t* out, size_t len) noexcept {
  if (!squeezing_) finalize();
  const uint8_t* s = bytes(st_);
  while (len > 0) {
    if (pos_ == rate_) {
      permute_(st_);
      pos_ = 0;
    }
    size_t take = rate_ - pos_;
    if (take > len) take = len;
    std::memcpy(out, s + pos_, take);
    pos_ += take;
    out += take;
    len -= take;
  }
}

namespace {

// One whole input through a fresh hasher H, into a 32-byte digest or an
// output of any length.
template <class H>
std::array<uint8_t, 32> digest32(const uint8_t* data, size_t len) noexcept {
  H h;
  h.absorb(data, len);
  std::array<uint8_t, 32> out;
  h.final(out.data());
  return out;
}

template <class H>
void xof(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept {
  H h;
  h.absorb(in, inlen);
  h.squeeze(out, outlen);
}

}  // namespace

std::array<uint8_t, 32> keccak256(const uint8_t* data, size_t len) noexcept { return digest32<Keccak256>(data, len); }
std::array<uint8_t, 32> sha3_256(const uint8_t* data, size_t len) noexcept { return digest32<Sha3_256>(data, len); }
void shake128(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept {
  xof<Shake128>(in, inlen, out, outlen);
}
void shake256(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept {
  xof<Shake256>(in, inlen, out, outlen);
}

}  // namespace keccak
