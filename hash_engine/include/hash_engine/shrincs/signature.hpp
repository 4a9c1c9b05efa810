// The stateful (one-time-leaf) signature and its flat byte form:
// randomizer ‖ BE32 counter ‖ 64 chain values ‖ q authentication nodes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "hash_engine/hash/ops.hpp"

namespace shrincs::signature {

using hash::Digest;

struct Signature {
  std::vector<Digest> wots_values;  // 64 values, chain 0 first
  std::vector<Digest> auth_path;    // q nodes; q is the leaf number
  Digest randomizer{};
  uint32_t counter = 0;

  bool operator==(const Signature&) const = default;
};

inline constexpr size_t kStatefulFixedLen = 2084;

// 2084 + 32·q bytes.
size_t stateful_len(const Signature& sig) noexcept;
// The same bytes written into the front of `out`; nothing when it is shorter.
std::optional<size_t> write_stateful(const Signature& sig, std::span<uint8_t> out);
// Nothing unless the length is 2084 + 32·k for some k >= 0.
std::optional<Signature> decode_stateful(std::span<const uint8_t> bytes);

}  // namespace shrincs::signature
