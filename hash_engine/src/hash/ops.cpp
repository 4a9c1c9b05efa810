#include "hash_engine/hash/ops.hpp"

#include <cstring>

#include "fault/fault.hpp"
#include "hash/lanes.hpp"

namespace hash::ops {

Digest keccak_packed(std::span<const Part> parts) noexcept {
  using lanes::kRate;
  lanes::State st{};
  uint8_t* s = lanes::bytes(st);
  size_t fill = 0;
  for (const Part& part : parts) {
    const uint8_t* p = part.data;
    size_t n = part.len;
    if (fill != 0) {
      size_t take = kRate - fill < n ? kRate - fill : n;
      for (size_t i = 0; i < take; ++i) s[fill + i] ^= p[i];
      fill += take;
      p += take;
      n -= take;
      if (fill == kRate) {
        lanes::permute1(st);
        fill = 0;
      }
    }
    while (n >= kRate) {  // whole blocks straight from the part
      for (size_t w = 0; w < kRate / 8; ++w) {
        uint64_t v;
        std::memcpy(&v, p + 8 * w, 8);
        st[w] ^= v;
      }
      lanes::permute1(st);
      p += kRate;
      n -= kRate;
    }
    for (size_t i = 0; i < n; ++i) s[fill + i] ^= p[i];
    fill += n;
  }
  lanes::pad_block(st, fill);
  lanes::permute1(st);
  Digest out;
  std::memcpy(out.data(), s, 32);
  zeroize::wipe(st.data(), sizeof(st));
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
