#pragma once
#include <cstdint>

#include "keccak/keccak.hpp"

namespace keccak {

// Portable multi-state fallbacks.
void permute_x4_portable(State* s) noexcept;
void permute_x8_portable(State* s) noexcept;

// Vector implementations on whole states (x86-64 builds only; the caller
// checks the CPU first).
void permute_x4_avx2(State* s) noexcept;
void permute_x8_avx512(State* s) noexcept;

}  // namespace keccak
