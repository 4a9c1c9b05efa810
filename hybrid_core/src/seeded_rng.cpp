#include "valtorimesca/seeded_rng.hpp"

#include <cstring>

#include "sha2/sha2.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca {

SeededRng::SeededRng(const uint8_t seed[32]) noexcept { std::memcpy(seed_.data(), seed, 32); }

SeededRng::~SeededRng() {
  zeroize::wipe(seed_.data(), seed_.size());
  zeroize::wipe(block_.data(), block_.size());
  counter_ = 0;
}

void SeededRng::refill() noexcept {
  uint8_t in[40];
  std::memcpy(in, seed_.data(), 32);
  const auto counter = sha2::be64(counter_);
  std::memcpy(in + 32, counter.data(), counter.size());
  sha2::sha512(in, std::span<uint8_t, 64>(block_));
  zeroize::wipe(in, sizeof in);
  ++counter_;
  pos_ = 0;
}

void SeededRng::fill_bytes(uint8_t* out, size_t len) noexcept {
  while (len > 0) {
    if (pos_ == 64) refill();
    size_t take = 64 - pos_;
    if (take > len) take = len;
    std::memcpy(out, block_.data() + pos_, take);
    pos_ += take;
    out += take;
    len -= take;
  }
}

uint32_t SeededRng::next_u32() noexcept {
  uint8_t b[4];
  fill_bytes(b, 4);
  uint32_t v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
               static_cast<uint32_t>(b[3]) << 24;
  zeroize::wipe(b, 4);
  return v;
}

uint64_t SeededRng::next_u64() noexcept {
  uint8_t b[8];
  fill_bytes(b, 8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  zeroize::wipe(b, 8);
  return v;
}

zeroize::SecretArray<32> nonce_seed(std::span<const uint8_t> label, std::span<const uint8_t> sk,
                                    std::span<const uint8_t> nonce, std::span<const uint8_t> msg) noexcept {
  zeroize::SecretArray<64> digest;
  sha2::Sha512().update(label).update_framed(sk).update_framed(nonce).update_framed(msg).finish(digest.span());
  return zeroize::SecretArray<32>(digest.data());
}

}  // namespace valtorimesca
