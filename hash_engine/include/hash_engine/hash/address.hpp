// 32-byte address words: layer BE32, 4 zero bytes, tree BE64, type BE32,
// key pair BE32, chain/height BE32, hash/index BE32.
#pragma once

#include <array>
#include <cstdint>

namespace hash::address {

using Word = std::array<uint8_t, 32>;

inline constexpr uint32_t kTypeWotsChain = 0;
inline constexpr uint32_t kTypeHypertreeNode = 2;
inline constexpr uint32_t kTypeFors = 3;

// Writes the word in place (32 bytes at `out`).
void write_address_word32(uint8_t* out, uint32_t layer, uint64_t tree, uint32_t type, uint32_t key_pair, uint32_t chain,
                          uint32_t hash) noexcept;

Word address_word32(uint32_t layer, uint64_t tree, uint32_t type, uint32_t key_pair, uint32_t chain,
                    uint32_t hash) noexcept;

}  // namespace hash::address
