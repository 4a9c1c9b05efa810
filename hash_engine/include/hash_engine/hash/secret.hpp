// The engine's secret seeds: 32 bytes that wipe themselves when released.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "zeroize/zeroize.hpp"

namespace hash {

using SecretSeed = zeroize::SecretArray<32>;

// The secret half of a key: its secret seed and its PRF key.
struct SeedPair {
  SecretSeed sk_seed;
  SecretSeed prf_key;
  void zeroize() noexcept {
    sk_seed.wipe();
    prf_key.wipe();
  }
};

// The 128 bytes both engine keys' encodings begin with: secret seed, PRF
// key, public seed and root, 32 bytes each.
inline void write_key_fields(uint8_t* out, const SeedPair& priv, const std::array<uint8_t, 32>& public_seed,
                             const std::array<uint8_t, 32>& root) noexcept {
  std::memcpy(out, priv.sk_seed.data(), 32);
  std::memcpy(out + 32, priv.prf_key.data(), 32);
  std::memcpy(out + 64, public_seed.data(), 32);
  std::memcpy(out + 96, root.data(), 32);
}

inline void read_key_fields(const uint8_t* in, SeedPair& priv, std::array<uint8_t, 32>& public_seed,
                            std::array<uint8_t, 32>& root) noexcept {
  priv.sk_seed = SecretSeed(in);
  priv.prf_key = SecretSeed(in + 32);
  std::memcpy(public_seed.data(), in + 64, 32);
  std::memcpy(root.data(), in + 96, 32);
}

}  // namespace hash
