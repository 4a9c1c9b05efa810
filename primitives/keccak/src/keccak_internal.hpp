#pragma once
#include <cstdint>
#include <cstring>

#include "keccak/keccak.hpp"

namespace keccak {

// Eight input bytes as a little-endian word.
inline uint64_t load64_le(const uint8_t* p) noexcept {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return le64(v);
}

// The portable one-state permutation, the reference every other path must
// match (permute() dispatches to it or to a faster form).
void permute_portable(State& s) noexcept;

// Portable multi-state fallbacks.
void permute_x4_portable(State* s) noexcept;
void permute_x8_portable(State* s) noexcept;

// Vector implementations on whole states (x86-64 builds only; the caller
// checks the CPU first).
void permute_x4_avx2(State* s) noexcept;
void permute_x8_avx512(State* s) noexcept;

}  // namespace keccak
