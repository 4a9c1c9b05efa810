// Verification dispatch: the action words and the commitment are checked
// before either path's verifier runs, and the action message hash
// M = H(H(label) ‖ BE32 1 ‖ C ‖ w0 ‖ … ‖ w4) that both paths sign.
#pragma once

#include <optional>
#include <span>

#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

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

// The paths under a checked key: the action words, then the path's verifier.
bool verify_stateful(const CheckedKey& key, const ShrincsAction& action, const signature::Signature& sig);
bool verify_stateless(const CheckedKey& key, const ShrincsAction& action,
                      const sphincs_plus_c::signature::Signature& sig);

// The same with the commitment checks run first.
bool verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                     const signature::Signature& sig);
bool verify_stateful_unsafe_raw(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                std::span<const uint8_t> message, const signature::Signature& sig);
bool verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                      const sphincs_plus_c::signature::Signature& sig);

}  // namespace shrincs::dispatch
