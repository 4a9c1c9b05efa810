// Few-time stateless signing of a 32-byte message.
#pragma once

#include <optional>
#include <span>

#include "hash_engine/sphincs_plus_c/sphincs.hpp"

namespace shrincs::signer {

struct ShrincsSigner {
  static std::optional<sphincs_plus_c::signature::Signature> sign_stateless_raw(const sphincs_plus_c::key::Key& key,
                                                                                std::span<const uint8_t> message);
};

}  // namespace shrincs::signer
