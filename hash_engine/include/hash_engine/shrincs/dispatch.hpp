// What both verification paths check before they run: the commitment (once,
// into a CheckedKey), and the action message hash
// M = H(H(label) ‖ BE32 1 ‖ C ‖ w0 ‖ … ‖ w4) that both paths sign.
#pragma once

#include <optional>
#include <span>

#include "hash_engine/shrincs/key.hpp"

namespace shrincs::dispatch {

using hash::Digest;

enum class Path { Stateful, Stateless };

Digest action_message_hash(Path path, std::span<const uint8_t, 32> commitment, const ShrincsAction& action) noexcept;

// A public key proven against a commitment: the commitment is non-zero,
// equals the key's carried one and the one recomputed from the key's
// fields, and the stateful public key has 68 bytes. Only `check` makes one,
// so a verifier holding it never recomputes the commitment.
class CheckedKey {
 public:
  static std::optional<CheckedKey> check(std::span<const uint8_t> commitment, key::PublicKey pk);
  const key::PublicKey& key() const noexcept { return pk_; }
  std::span<const uint8_t, 32> commitment() const noexcept {
    return std::span<const uint8_t, 32>(pk_.carried_commitment.data(), 32);
  }

 private:
  explicit CheckedKey(key::PublicKey pk) noexcept : pk_(std::move(pk)) {}
  key::PublicKey pk_;
};

}  // namespace shrincs::dispatch
