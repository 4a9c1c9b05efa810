// A SHRINCS key: the stateless SPHINCS+C half, the derived commitment and the
// stateful UXMSS half, with its 264-byte form and validating import; the
// public key and its commitment.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "hash_engine/shrincs/uxmss.hpp"
#include "hash_engine/sphincs_plus_c/key.hpp"

namespace shrincs {

// Five 32-byte action words, handed over as 160 consecutive bytes.
struct ShrincsAction {
  std::array<hash::Digest, 5> words{};

  static ShrincsAction from_bytes(std::span<const uint8_t, 160> b) noexcept;
  // Words 0, 3 and 4 are all non-zero.
  bool acceptable() const noexcept;
};

}  // namespace shrincs

namespace shrincs::key {

using hash::Digest;

// C = H("shrincs-public-key/" ‖ "shrincs-256s-keccak" ‖ stateful public key ‖
// stateless public seed ‖ hypertree root).
Digest compute_commitment(std::span<const uint8_t> stateful_public_key, std::span<const uint8_t, 32> stateless_seed,
                          std::span<const uint8_t, 32> hypertree_root) noexcept;

struct PublicKey {
  std::vector<uint8_t> stateful_public_key;    // 68 bytes when well formed
  std::vector<uint8_t> carried_commitment;     // 32
  std::vector<uint8_t> stateless_public_seed;  // 32
  std::vector<uint8_t> hypertree_root;         // 32

  // The 164-byte verify key bundle split into its fields; nothing unless 164 bytes.
  static std::optional<PublicKey> from_bundle(std::span<const uint8_t> bundle);
  // The four fields laid end to end.
  std::vector<uint8_t> to_bundle() const;
  // C over the fields, or nothing unless the seed and root are 32 bytes each.
  std::optional<Digest> commitment() const;
};

struct Keys {
  static constexpr size_t kEncodedLen = 264;

  sphincs_plus_c::key::Key stateless;
  Digest commitment{};
  uxmss::Key stateful;

  // A new key (next leaf 1) with both roots and the commitment computed;
  // nothing for a capacity outside 1 .. 4096.
  static std::optional<Keys> generate(const hash::SecretSeed& stateless_sk_seed,
                                      const hash::SecretSeed& stateless_prf_key, const Digest& stateless_public_seed,
                                      const hash::SecretSeed& stateful_sk_seed,
                                      const hash::SecretSeed& stateful_prf_key, const Digest& stateful_public_seed,
                                      uint32_t capacity);
  // Validating import: capacity 1 .. 4096, next 1 .. capacity + 1, both roots
  // recomputed and equal to the stored ones.
  static std::optional<Keys> import(std::span<const uint8_t> bytes);

  zeroize::SecretArray<kEncodedLen> to_bytes() const noexcept;
  PublicKey public_key() const;
  // Wipes the secret seeds and PRF keys of both halves.
  void zeroize() noexcept {
    stateless.zeroize();
    stateful.zeroize();
  }
};

}  // namespace shrincs::key
