// A 32-byte secret seed that wipes itself when released or zeroized.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "zeroize/zeroize.hpp"

namespace hash {

class SecretSeed {
 public:
  SecretSeed() noexcept : b_{} {}
  explicit SecretSeed(const uint8_t* src) noexcept { std::memcpy(b_.data(), src, 32); }
  explicit SecretSeed(const std::array<uint8_t, 32>& a) noexcept : b_(a) {}
  SecretSeed(const SecretSeed& o) noexcept : b_(o.b_) {}
  SecretSeed& operator=(const SecretSeed& o) noexcept {
    b_ = o.b_;
    return *this;
  }
  ~SecretSeed() { zeroize(); }

  void zeroize() noexcept { zeroize::wipe(b_.data(), b_.size()); }
  const uint8_t* data() const noexcept { return b_.data(); }
  uint8_t* data() noexcept { return b_.data(); }
  const std::array<uint8_t, 32>& bytes() const noexcept { return b_; }
  static constexpr size_t size() noexcept { return 32; }

 private:
  std::array<uint8_t, 32> b_;
};

}  // namespace hash

namespace hash {

// The secret half of a key: its secret seed and its PRF key.
struct SeedPair {
  SecretSeed sk_seed;
  SecretSeed prf_key;
  void zeroize() noexcept {
    sk_seed.zeroize();
    prf_key.zeroize();
  }
};

}  // namespace hash
