#include "hash_engine/hash/ops.hpp"

#include <cstring>

#include "fault/fault.hpp"
#include "hash/lanes.hpp"

namespace hash::ops {

// The parts go into one Keccak-256 sponge where they lie, and its
// permutations are counted with the engine's. The sponge wipes its state
// when it goes.
void keccak_packed(std::span<const Part> parts, uint8_t* out) noexcept {
  ::keccak::Keccak256 h;
  size_t total = 0;
  for (const Part& part : parts) {
    h.absorb(part.data, part.len);
    total += part.len;
  }
  h.final(out);
  lanes::count_permutations(::keccak::keccak256_permutations(total));
}

Digest keccak_packed(std::span<const Part> parts) noexcept {
  Digest out;
  keccak_packed(parts, out.data());
  return out;
}

namespace {

template <class T, uint32_t Limit>
std::optional<T> read_bits(std::span<const uint8_t> data, uint64_t offset, uint32_t count) noexcept {
  if (count > Limit) return std::nullopt;
  T v = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t p = offset + i;
    if (p / 8 >= data.size()) return std::nullopt;
    v = T(v << 1) | T((data[p / 8] >> (7 - p % 8)) & 1);
  }
  return v;
}

}  // namespace

std::optional<uint32_t> read_bits32(std::span<const uint8_t> data, uint64_t offset, uint32_t count) noexcept {
  return read_bits<uint32_t, 32>(data, offset, count);
}

std::optional<uint64_t> read_bits64(std::span<const uint8_t> data, uint64_t offset, uint32_t count) noexcept {
  return read_bits<uint64_t, 64>(data, offset, count);
}

uint32_t base_w16_digit(const Digest& digest, size_t index) {
  fault::check(index < 64, "base-16 digit index out of range");
  const uint8_t b = digest[index / 2];
  return (index % 2 == 0) ? uint32_t(b >> 4) : uint32_t(b & 0x0f);
}

uint32_t digit_sum(const Digest& digest) noexcept {
  uint32_t s = 0;
  for (uint8_t b : digest) s += uint32_t(b >> 4) + uint32_t(b & 0x0f);
  return s;
}

}  // namespace hash::ops
