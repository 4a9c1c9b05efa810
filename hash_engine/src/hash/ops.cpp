#include "hash_engine/hash/ops.hpp"

#include <cstring>

#include "fault/fault.hpp"
#include "hash/lanes.hpp"

namespace hash::ops {

// Parts are copied into a block buffer (whole blocks of a long part are XORed
// in straight from it); a full block is XORed into the state word by word.
Digest keccak_packed(std::span<const Part> parts) noexcept {
  using lanes::kRate;
  lanes::State st{};
  uint64_t blk[kRate / 8];
  uint8_t* buf = reinterpret_cast<uint8_t*>(blk);
  size_t fill = 0;
  auto absorb_words = [&](const uint8_t* p) {
    for (size_t w = 0; w < kRate / 8; ++w) {
      uint64_t v;
      std::memcpy(&v, p + 8 * w, 8);
      st[w] ^= v;
    }
    lanes::permute1(st);
  };
  for (const Part& part : parts) {
    const uint8_t* p = part.data;
    size_t n = part.len;
    if (fill != 0) {
      const size_t take = kRate - fill < n ? kRate - fill : n;
      if (take != 0) std::memcpy(buf + fill, p, take);
      fill += take;
      p += take;
      n -= take;
      if (fill == kRate) {
        absorb_words(buf);
        fill = 0;
      }
    }
    for (; n >= kRate; p += kRate, n -= kRate) absorb_words(p);  // whole blocks straight from the part
    if (n != 0) std::memcpy(buf + fill, p, n);
    fill += n;
  }
  std::memset(buf + fill, 0, kRate - fill);
  buf[fill] ^= 0x01;
  buf[kRate - 1] ^= 0x80;
  absorb_words(buf);
  Digest out;
  std::memcpy(out.data(), lanes::bytes(st), 32);
  zeroize::wipe(st.data(), sizeof(st));
  zeroize::wipe(blk, sizeof(blk));
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
