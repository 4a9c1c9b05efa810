// The engine hash H: Keccak-256 (Keccak padding, rate 136) over the plain
// concatenation of a list of byte strings, absorbed where they lie. Also the
// bit and base-16 digit readers used to cut digests into indices and digits.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "keccak/keccak.hpp"
#include "sha2/sha2.hpp"

namespace hash {

using Digest = std::array<uint8_t, 32>;

// One part of a part list: a start and a length (zero allowed).
struct Part {
  const uint8_t* data = nullptr;
  size_t len = 0;

  constexpr Part() = default;
  constexpr Part(const uint8_t* d, size_t n) : data(d), len(n) {}
  Part(std::string_view s) : data(reinterpret_cast<const uint8_t*>(s.data())), len(s.size()) {}
  Part(std::span<const uint8_t> s) : data(s.data()), len(s.size()) {}
  template <size_t M>
  Part(const std::array<uint8_t, M>& a) : data(a.data()), len(M) {}
};

// Big-endian encodings, as values that can be passed as parts and written
// or read in place, are sha2's.
using sha2::be32;
using sha2::be64;
using sha2::get_be32;
using sha2::put_be32;
using sha2::put_be64;

// Permutations by the kernel that ran them, as the engine counts them on
// each thread (hash/testing.hpp reads the count).
using PermutationCalls = ::keccak::PermutationCalls;

}  // namespace hash

namespace hash::ops {

// H over the parts, written to out (32 bytes): no copy of the digest is left
// behind, so out may be a secret's own storage.
void keccak_packed(std::span<const Part> parts, uint8_t* out) noexcept;
inline void keccak_packed(std::initializer_list<Part> parts, uint8_t* out) noexcept {
  keccak_packed(std::span<const Part>(parts.begin(), parts.size()), out);
}
Digest keccak_packed(std::span<const Part> parts) noexcept;
inline Digest keccak_packed(std::initializer_list<Part> parts) noexcept {
  return keccak_packed(std::span<const Part>(parts.begin(), parts.size()));
}

// `count` bits from bit `offset` (most significant bit of each byte first);
// nothing for count > 32 (64) or a read past the data.
std::optional<uint32_t> read_bits32(std::span<const uint8_t> data, uint64_t offset, uint32_t count) noexcept;
std::optional<uint64_t> read_bits64(std::span<const uint8_t> data, uint64_t offset, uint32_t count) noexcept;

// Nibble `index` (0..63) of a digest, high nibble of each byte first.
uint32_t base_w16_digit(const Digest& digest, size_t index);

// Sum of the 64 digits of a digest.
uint32_t digit_sum(const Digest& digest) noexcept;

}  // namespace hash::ops
