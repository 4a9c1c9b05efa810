// The 164-byte verify key bundle of a stateful suite's SHRINCS half:
//
//   0   32  stateful public seed
//   32  32  stateful chain root
//   64   4  leaf capacity, BE32
//   68  32  commitment (carried, never trusted)
//   100 32  stateless public seed
//   132 32  hypertree root
//
// Bytes 0..68 are the engine's stateful public key; bytes 100..164 are the
// stateless key material a budget key is made from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/key.hpp"
#include "valtorimesca/error.hpp"

namespace valtorimesca::shrincs::bundle {

inline constexpr size_t kBundleLen = 164;
inline constexpr size_t kStatefulPublicKeyLen = 68;
inline constexpr size_t kCapacityOffset = 64;
inline constexpr size_t kCommitmentOffset = 68;
inline constexpr size_t kStatelessSeedOffset = 100;
inline constexpr size_t kHypertreeRootOffset = 132;
inline constexpr size_t kStatelessMaterialOffset = kStatelessSeedOffset;
inline constexpr size_t kStatelessMaterialLen = 64;
inline constexpr size_t kCommitmentLen = 32;

// The commitment recomputed from the fields of a 164-byte bundle (its
// carried commitment field is not read).
hash::Digest recompute_commitment(std::span<const uint8_t, kBundleLen> bundle) noexcept;

// The engine public key of a bundle that is consistent with itself and with
// `expected`: the recomputed commitment must equal both the carried field
// and the (non-zero) expected commitment. BadLength for a bundle of another
// length, ComponentFailure for a zero or unmatched commitment. The key comes
// back checked, so the engine's verifiers do not recompute the commitment.
CoreResult<::shrincs::dispatch::CheckedKey> verify_bundle(std::span<const uint8_t> bundle,
                                                          std::span<const uint8_t, kCommitmentLen> expected);

}  // namespace valtorimesca::shrincs::bundle
