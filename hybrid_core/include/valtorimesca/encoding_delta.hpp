// The delta byte in front of a variable-length FN-DSA signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "valtorimesca/error.hpp"

namespace valtorimesca::encoding_delta {

inline constexpr size_t kClassicalLen = 64;
inline constexpr size_t kHeaderLen = kClassicalLen + 1;
// The delta every signer writes: the full 666-byte FN-DSA-512 signature.
inline constexpr uint8_t kSignerDelta = 0xFF;

struct Decoded {
  std::span<const uint8_t> classical;
  std::span<const uint8_t> pq;
};

// Splits classical signature (64) || d || post-quantum signature (base + d).
CoreResult<Decoded> decode_delta(std::span<const uint8_t> sig, size_t base) noexcept;

}  // namespace valtorimesca::encoding_delta
