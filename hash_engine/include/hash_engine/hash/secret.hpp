// The engine's secret seeds: 32 bytes that wipe themselves when released.
#pragma once

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

}  // namespace hash
