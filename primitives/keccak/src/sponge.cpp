#include <cstring>

#include "keccak/keccak.hpp"
#include "keccak_internal.hpp"

namespace keccak {
namespace {

inline uint8_t* bytes(State& s) { return reinterpret_cast<uint8_t*>(s.data()); }

void wipe(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  while (n--) *v++ = 0;
}

}  // namespace

Sponge::Sponge(size_t rate, uint8_t domain) noexcept : rate_(rate), domain_(domain) {}

Sponge::~Sponge() { wipe(st_.data(), sizeof(st_)); }

void Sponge::reset() noexcept {
  wipe(st_.data(), sizeof(st_));
  pos_ = 0;
  squeezing_ = false;
}

void Sponge::absorb(const uint8_t* data, size_t len) noexcept {
  uint8_t* s = bytes(st_);
  if (pos_ != 0) {
    size_t take = rate_ - pos_;
    if (take > len) take = len;
    for (size_t i = 0; i < take; ++i) s[pos_ + i] ^= data[i];
    pos_ += take;
    data += take;
    len -= take;
    if (pos_ == rate_) {
      permute(st_);
      pos_ = 0;
    }
  }
  while (len >= rate_) {
    for (size_t w = 0; w < rate_ / 8; ++w) {
      uint64_t v;
      std::memcpy(&v, data + 8 * w, 8);
      st_[w] ^= v;
    }
    permute(st_);
    data += rate_;
    len -= rate_;
  }
  for (size_t i = 0; i < len; ++i) s[i] ^= data[i];
  pos_ += len;
}

void Sponge::finalize() noexcept {
  if (squeezing_) return;
  uint8_t* s = bytes(st_);
  s[pos_] ^= domain_;
  s[rate_ - 1] ^= 0x80;
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

std::array<uint8_t, 32> keccak256(const uint8_t* data, size_t len) noexcept {
  Keccak256 h;
  h.absorb(data, len);
  std::array<uint8_t, 32> out;
  h.final(out.data());
  return out;
}

std::array<uint8_t, 32> sha3_256(const uint8_t* data, size_t len) noexcept {
  Sha3_256 h;
  h.absorb(data, len);
  std::array<uint8_t, 32> out;
  h.final(out.data());
  return out;
}

void shake128(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept {
  Shake128 h;
  h.absorb(in, inlen);
  h.squeeze(out, outlen);
}

void shake256(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept {
  Shake256 h;
  h.absorb(in, inlen);
  h.squeeze(out, outlen);
}

namespace {

template <size_t N, void (*Perm)(State*)>
void keccak256_multi(const uint8_t* const in[N], size_t len, uint8_t (*out)[32]) noexcept {
  constexpr size_t kRate = 136;
  State st[N] = {};
  size_t off = 0;
  while (len - off >= kRate) {
    for (size_t k = 0; k < N; ++k)
      for (size_t w = 0; w < kRate / 8; ++w) {
        uint64_t v;
        std::memcpy(&v, in[k] + off + 8 * w, 8);
        st[k][w] ^= v;
      }
    Perm(st);
    off += kRate;
  }
  const size_t rem = len - off;
  for (size_t k = 0; k < N; ++k) {
    uint8_t* s = bytes(st[k]);
    for (size_t i = 0; i < rem; ++i) s[i] ^= in[k][off + i];
    s[rem] ^= 0x01;
    s[kRate - 1] ^= 0x80;
  }
  Perm(st);
  for (size_t k = 0; k < N; ++k) std::memcpy(out[k], st[k].data(), 32);
}

}  // namespace

void keccak256_x4(const uint8_t* const in[4], size_t len, uint8_t (*out)[32]) noexcept {
  keccak256_multi<4, permute_x4>(in, len, out);
}

void keccak256_x8(const uint8_t* const in[8], size_t len, uint8_t (*out)[32]) noexcept {
  keccak256_multi<8, permute_x8>(in, len, out);
}

}  // namespace keccak
