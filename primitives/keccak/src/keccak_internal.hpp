#pragma once
#include <cstdint>

#include "keccak/keccak.hpp"

namespace keccak {

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
