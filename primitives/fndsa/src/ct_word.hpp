// Word masks for constant-time selection: every helper returns all ones or
// all zeros and compiles to plain arithmetic, so that a choice driven by a
// secret value never becomes a branch or a table index.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace fndsa::ct {

// All ones when the top bit of x is set.
inline uint32_t top_mask(uint32_t x) noexcept { return static_cast<uint32_t>(static_cast<int32_t>(x) >> 31); }
inline uint64_t top_mask64(uint64_t x) noexcept { return static_cast<uint64_t>(static_cast<int64_t>(x) >> 63); }
// All ones when x is not zero.
inline uint32_t nonzero_mask(uint32_t x) noexcept { return top_mask(x | (0u - x)); }
// All ones when a == b.
inline uint32_t eq_mask(uint32_t a, uint32_t b) noexcept { return ~nonzero_mask(a ^ b); }
// All ones when a < b, for a and b below 2^31.
inline uint32_t lt31_mask(uint32_t a, uint32_t b) noexcept { return top_mask(a - b); }
// All ones when a < b, for any 64-bit a and b (borrow of a - b).
inline uint64_t lt64_mask(uint64_t a, uint64_t b) noexcept { return top_mask64((~a & b) | (~(a ^ b) & (a - b))); }
inline uint32_t select(uint32_t mask, uint32_t if_set, uint32_t if_clear) noexcept {
  return if_clear ^ (mask & (if_set ^ if_clear));
}
// The larger of two values below 2^31.
inline uint32_t max31(uint32_t a, uint32_t b) noexcept { return select(lt31_mask(a, b), b, a); }

// Bit length of v < 2^31 (0 for v = 0), by halving the search window with
// masks instead of a count-leading-zeros instruction or a branch.
inline uint32_t bit_length31(uint32_t v) noexcept {
  uint32_t len = 0;
  for (uint32_t step : {16u, 8u, 4u, 2u, 1u}) {
    const uint32_t s = nonzero_mask(v >> step) & step;
    v >>= s;
    len += s;
  }
  return len + v;
}

}  // namespace fndsa::ct
