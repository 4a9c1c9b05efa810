// The few-time stateless signature and its flat 29092-byte form: FORS
// randomizer ‖ BE32 counter ‖ 21 × (secret ‖ 14 nodes) ‖ 8 × (leaf value ‖
// randomizer ‖ BE32 counter ‖ 64 chain values ‖ 8 nodes).
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "hash_engine/sphincs_plus_c/fors_c.hpp"
#include "hash_engine/sphincs_plus_c/hypertree.hpp"

namespace sphincs_plus_c::signature {

struct Signature {
  fors_c::Signature fors;
  std::vector<hypertree::LayerSignature> layers;  // 8, layer 0 first
  bool operator==(const Signature&) const = default;
};

inline constexpr size_t kFlatLen = 29092;

// Bytes the flat form of `sig` takes (29092 for a signature of the profile).
size_t flat_len(const Signature& sig) noexcept;
// Writes the flat form; nothing when `out` is shorter than flat_len(sig).
std::optional<size_t> write_flat(const Signature& sig, std::span<uint8_t> out);
// Nothing unless exactly 29092 bytes.
std::optional<Signature> decode_flat(std::span<const uint8_t> b);

}  // namespace sphincs_plus_c::signature
