// Verification of both paths under a commitment, and the action message hash
// M = H(H(label) ‖ BE32 1 ‖ C ‖ w0 ‖ … ‖ w4).
#pragma once

#include <span>

#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace shrincs::verifier {

using hash::Digest;

enum class Path { Stateful, Stateless };

Digest action_message_hash(Path path, std::span<const uint8_t, 32> commitment, const ShrincsAction& action) noexcept;

struct ShrincsVerifier {
  static Digest public_key_commitment(std::span<const uint8_t> stateful_public_key,
                                      std::span<const uint8_t, 32> stateless_public_seed,
                                      std::span<const uint8_t, 32> hypertree_root) noexcept {
    return key::compute_commitment(stateful_public_key, stateless_public_seed, hypertree_root);
  }
  static Digest stateless_action_message_hash(std::span<const uint8_t, 32> commitment,
                                              const ShrincsAction& action) noexcept {
    return action_message_hash(Path::Stateless, commitment, action);
  }
  static bool verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                              const ShrincsAction& action, const signature::Signature& sig);
  static bool verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                               const ShrincsAction& action, const sphincs_plus_c::signature::Signature& sig);
};

}  // namespace shrincs::verifier
