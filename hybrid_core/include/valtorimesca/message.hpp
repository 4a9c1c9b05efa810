// The message representative both halves of a hybrid signature sign:
// 0x01 || suite label (with zero byte) || ctx length (1 byte) || ctx || msg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "valtorimesca/error.hpp"

namespace valtorimesca::message {

inline constexpr size_t kMaxContext = 255;

// Writes the representative into the front of buf; returns its length.
CoreResult<size_t> write_m_prime(std::span<uint8_t> buf, std::span<const uint8_t> label,
                                 std::span<const uint8_t> ctx, std::span<const uint8_t> msg);

// The representative as a new vector of exactly its length.
CoreResult<std::vector<uint8_t>> m_prime(std::span<const uint8_t> label, std::span<const uint8_t> ctx,
                                         std::span<const uint8_t> msg);

}  // namespace valtorimesca::message
