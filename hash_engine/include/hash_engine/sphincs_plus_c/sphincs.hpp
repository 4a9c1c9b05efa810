// SPHINCS+C few-time signing and verification.
#pragma once

#include <optional>
#include <span>

#include "hash_engine/sphincs_plus_c/key.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace sphincs_plus_c {

std::optional<signature::Signature> sign(const key::Key& key, std::span<const uint8_t> message);
bool verify_raw(const hash::Digest& public_seed, const hash::Digest& root, std::span<const uint8_t> message,
                const signature::Signature& sig);

}  // namespace sphincs_plus_c
