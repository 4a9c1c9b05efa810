#pragma once
#include <cstdint>

#include "keccak/keccak.hpp"

namespace keccak {

const uint64_t* round_constants() noexcept;

// Portable multi-state fallbacks.
void permute_x4_portable(State* s) noexcept;
void permute_x8_portable(State* s) noexcept;

// Vector implementations (present only when compiled in; selected at run time).
void permute_x4_avx2(State* s) noexcept;
void permute_x8_avx512(State* s) noexcept;

}  // namespace keccak
