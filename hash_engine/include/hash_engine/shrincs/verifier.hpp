// The engine's verifier: both paths under a key whose commitment has been
// checked (dispatch::CheckedKey). Each refuses unacceptable action words
// before it hashes anything, then builds the action message hash once and
// runs its path.
#pragma once

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace shrincs::verifier {

struct ShrincsVerifier {
  static bool verify_stateful(const dispatch::CheckedKey& key, const ShrincsAction& action,
                              const signature::Signature& sig);
  static bool verify_stateless(const dispatch::CheckedKey& key, const ShrincsAction& action,
                               const sphincs_plus_c::signature::Signature& sig);
};

}  // namespace shrincs::verifier
