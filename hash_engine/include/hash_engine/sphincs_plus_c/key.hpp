// The few-time stateless key: secret seed, secret PRF key, public seed and
// hypertree root (128 bytes in that order).
#pragma once

#include <optional>
#include <span>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/hash/secret.hpp"
#include "zeroize/zeroize.hpp"

namespace sphincs_plus_c::key {

using hash::Digest;
using SkSeed = hash::SecretSeed;
using PrfSeed = hash::SecretSeed;

using PrivateKey = hash::SeedPair;

struct Key {
  static constexpr size_t kEncodedLen = 128;

  PrivateKey priv;
  Digest public_seed{};
  Digest root{};

  static std::optional<Key> from_bytes(std::span<const uint8_t> b);
  zeroize::SecretArray<kEncodedLen> to_bytes() const noexcept;
  void zeroize() noexcept { priv.zeroize(); }
};

}  // namespace sphincs_plus_c::key
