// Verification dispatch: the action words and the commitment are checked
// before either path's verifier runs.
#pragma once

#include <span>

#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace shrincs::dispatch {

bool verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                     const signature::Signature& sig);
bool verify_stateful_unsafe_raw(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                std::span<const uint8_t> message, const signature::Signature& sig);
bool verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                      const sphincs_plus_c::signature::Signature& sig);

}  // namespace shrincs::dispatch
