#include <cstring>

#include "keccak/keccak.hpp"
#include "keccak_internal.hpp"
#include "zeroize/zeroize.hpp"

namespace keccak {
namespace {

inline uint8_t* bytes(State& s) { return reinterpret_cast<uint8_t*>(s.data()); }

// n < 8 input bytes as a little-endian number, put together from 4-, 2- and
// 1-byte loads (in registers: no copy of the input is left in memory).
inline uint64_t load_le_short(const uint8_t* p, size_t n) noexcept {
  uint64_t v = 0;
  size_t off = 0;
  if (n & 4) {
    uint32_t x;
    std::memcpy(&x, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    x = __builtin_bswap32(x);
#endif
    v = x;
    off = 4;
  }
  if (n & 2) {
    uint16_t x;
    std::memcpy(&x, p + off, 2);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    x = __builtin_bswap16(x);
#endif
    v |= uint64_t{x} << (8 * off);
    off += 2;
  }
  if (n & 1) v |= uint64_t{p[off]} << (8 * off);
  return v;
}

}  // namespace

Sponge::Sponge(size_t rate, uint8_t domain) noexcept : rate_(rate), domain_(domain) {}

Sponge::~Sponge() { zeroize::wipe(st_.data(), sizeof(st_)); }

void Sponge::reset() noexcept {
  zeroize::wipe(st_.data(), sizeof(st_));
  pos_ = 0;
  squeezing_ = false;
}

// Every eight input bytes go in as one word, XORed into the one or two state
// words it falls on; a last run of under eight bytes likewise.
void Sponge::absorb(const uint8_t* data, size_t len) noexcept {
  // Position and rate in locals: the state's words could alias the members.
  const size_t rate = rate_;
  size_t pos = pos_;
  while (len > 0) {
    const size_t n = rate - pos < len ? rate - pos : len;  // up to the end of the block
    const unsigned shift = 8 * (pos % 8);
    uint64_t* row = st_.data() + pos / 8;
    const size_t words = n / 8, rest = n % 8;
    if (shift == 0) {
      for (size_t w = 0; w < words; ++w) row[w] ^= le64(load64_le(data + 8 * w));
    } else {
      for (size_t w = 0; w < words; ++w) {
        const uint64_t v = load64_le(data + 8 * w);
        row[w] ^= le64(v << shift);
        row[w + 1] ^= le64(v >> (64 - shift));
      }
    }
    if (rest != 0) {
      const uint64_t v = load_le_short(data + 8 * words, rest);
      row[words] ^= le64(v << shift);
      if (shift + 8 * rest > 64) row[words + 1] ^= le64(v >> (64 - shift));
    }
    pos += n;
    data += n;
    len -= n;
    if (pos == rate) {
      permute(st_);
      pos = 0;
    }
  }
  pos_ = pos;
}

void Sponge::finalize() noexcept {
  if (squeezing_) return;
  pad(st_.data(), 1, pos_, rate_, domain_);
  permute(st_);
  pos_ = 0;
  squeezing_ = true;
}

void Sponge::squeeze(uint8_t* out, size_t len) noexcept {
  if (!squeezing_) finalize();
  const uint8_t* s = bytes(st_);
  while (len > 0) {
    if (pos_ == rate_) {
      permute(st_);
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
