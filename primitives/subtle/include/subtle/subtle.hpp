// Constant-time truth values and comparisons. A Choice holds 0 or 1 and is
// passed through an optimisation barrier before any use, so the compiler
// cannot turn the combination of secret-dependent results into branches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace subtle {

// Hides a value from the optimiser.
inline uint8_t black_box(uint8_t v) noexcept {
  __asm__ volatile("" : "+r"(v) : : "memory");
  return v;
}
inline uint64_t black_box64(uint64_t v) noexcept {
  __asm__ volatile("" : "+r"(v) : : "memory");
  return v;
}

class Choice {
 public:
  constexpr Choice() noexcept : v_(0) {}
  // The one way into a Choice: `bit` is 0 or 1 (a bool converts).
  static Choice from_bit(uint8_t bit) noexcept { return Choice(black_box(bit & 1)); }
  uint8_t unwrap_u8() const noexcept { return black_box(v_); }
  // Leaves constant time: only for the final, public verdict.
  bool declassify() const noexcept { return black_box(v_) == 1; }

  friend Choice operator&(Choice a, Choice b) noexcept {
    return Choice(black_box(static_cast<uint8_t>(a.unwrap_u8() & b.unwrap_u8())));
  }
  friend Choice operator|(Choice a, Choice b) noexcept {
    return Choice(black_box(static_cast<uint8_t>(a.unwrap_u8() | b.unwrap_u8())));
  }
  Choice operator!() const noexcept { return Choice(black_box(static_cast<uint8_t>(unwrap_u8() ^ 1))); }

 private:
  explicit constexpr Choice(uint8_t v) noexcept : v_(v) {}
  uint8_t v_;
};

// Equality of two equal-length byte strings without an early exit.
inline Choice ct_eq(const uint8_t* a, const uint8_t* b, size_t n) noexcept {
  uint8_t acc = 0;
  for (size_t i = 0; i < n; ++i) acc = static_cast<uint8_t>(acc | (a[i] ^ b[i]));
  acc = black_box(acc);
  // acc == 0  ->  1, else 0, computed without a branch
  uint32_t x = acc;
  return Choice::from_bit(static_cast<uint8_t>(((x - 1) >> 8) & 1));
}

// Slices of different lengths compare unequal (the lengths are public).
inline Choice ct_eq(std::span<const uint8_t> a, std::span<const uint8_t> b) noexcept {
  if (a.size() != b.size()) return Choice();
  return ct_eq(a.data(), b.data(), a.size());
}

// True when all n bytes are zero, in constant time.
inline Choice ct_is_zero(const uint8_t* a, size_t n) noexcept {
  uint8_t acc = 0;
  for (size_t i = 0; i < n; ++i) acc = static_cast<uint8_t>(acc | a[i]);
  uint32_t x = black_box(acc);
  return Choice::from_bit(static_cast<uint8_t>(((x - 1) >> 8) & 1));
}

// Selects a (choice 1) or b (choice 0) without branching.
inline uint8_t ct_select(Choice c, uint8_t a, uint8_t b) noexcept {
  uint8_t m = static_cast<uint8_t>(-static_cast<int8_t>(c.unwrap_u8()));
  return static_cast<uint8_t>((a & m) | (b & ~m));
}

}  // namespace subtle
