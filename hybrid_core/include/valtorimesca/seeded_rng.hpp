// A deterministic byte stream grown from a 32-byte seed: the blocks are
// SHA-512(seed || BE64(counter)) for counter 0, 1, 2, ... The stream is read
// in order by fill_bytes, next_u32 and next_u64 (little-endian words);
// partial blocks carry over between calls. Seed and block are wiped on
// destruction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "zeroize/zeroize.hpp"

namespace valtorimesca {

class SeededRng {
 public:
  explicit SeededRng(const uint8_t seed[32]) noexcept;
  explicit SeededRng(std::span<const uint8_t, 32> seed) noexcept : SeededRng(seed.data()) {}
  ~SeededRng();
  SeededRng(const SeededRng&) = delete;
  SeededRng& operator=(const SeededRng&) = delete;

  void fill_bytes(uint8_t* out, size_t len) noexcept;
  void fill_bytes(std::span<uint8_t> out) noexcept { fill_bytes(out.data(), out.size()); }
  uint32_t next_u32() noexcept;
  uint64_t next_u64() noexcept;

 private:
  void refill() noexcept;

  std::array<uint8_t, 32> seed_;
  std::array<uint8_t, 64> block_{};
  uint64_t counter_ = 0;
  size_t pos_ = 64;
};

// The nonce seed of deterministic signing: the first 32 bytes of
// SHA-512(label || BE64(|sk|) || sk || BE64(|nonce|) || nonce ||
// BE64(|msg|) || msg). `label` is hashed as given (with its zero byte).
zeroize::SecretArray<32> nonce_seed(std::span<const uint8_t> label, std::span<const uint8_t> sk,
                                    std::span<const uint8_t> nonce, std::span<const uint8_t> msg) noexcept;

}  // namespace valtorimesca
