// The schnorrkel DLEQ VRF evaluation with an explicit witness generator.
#pragma once

#include <cstdint>
#include <span>

#include "valtorimesca/error.hpp"
#include "valtorimesca/seeded_rng.hpp"

namespace valtorimesca::classical::sr25519::vrf_impl {

// Input point H from the signing transcript of (label, input) and the public
// key; pre-output = compressed key*H; proof = c || s on a "VRF" transcript
// whose witness generator takes one 32-byte draw from `rng`.
CoreStatus evaluate_with_rng(std::span<const uint8_t> secret_key, std::span<const uint8_t> label,
                             std::span<const uint8_t> input, SeededRng& rng, std::span<uint8_t> pre_output,
                             std::span<uint8_t> proof);

}  // namespace valtorimesca::classical::sr25519::vrf_impl
