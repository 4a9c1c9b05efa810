// The engine's verifier: both paths under a commitment, over the dispatch's
// checks; the action message hash is the dispatch's.
#pragma once

#include <span>

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace shrincs::verifier {

using hash::Digest;

using dispatch::action_message_hash;
using dispatch::CheckedKey;
using dispatch::Path;

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
  // Under a key whose commitment the caller has already checked.
  static bool verify_stateful(const CheckedKey& key, const ShrincsAction& action, const signature::Signature& sig) {
    return dispatch::verify_stateful(key, action, sig);
  }
  static bool verify_stateless(const CheckedKey& key, const ShrincsAction& action,
                               const sphincs_plus_c::signature::Signature& sig) {
    return dispatch::verify_stateless(key, action, sig);
  }
  static bool verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                              const ShrincsAction& action, const signature::Signature& sig);
  static bool verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                               const ShrincsAction& action, const sphincs_plus_c::signature::Signature& sig);
};

}  // namespace shrincs::verifier
