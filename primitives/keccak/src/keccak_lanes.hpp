// Entry points of the vector permutation cores. The cores live in translation
// units compiled with their own instruction-set flags, so this header pulls in
// nothing but fixed-width integers: no inline code may be shared between a
// vector unit and the baseline library.
#pragma once
#include <cstddef>
#include <cstdint>

namespace keccak {

const uint64_t* round_constants() noexcept;

// Interleaved lanes: word i of state k sits at a[i * N + k].
void permute_lanes4_avx2(uint64_t* a) noexcept;      // N = 4
void permute_lanes8_avx2(uint64_t* a) noexcept;      // N = 8, as two 4-lane halves
void permute_lanes8_avx512(uint64_t* a) noexcept;    // N = 8
void permute_lanes4_avx512vl(uint64_t* a) noexcept;  // N = 4

// One state of 25 words, general-purpose registers with BMI1/BMI2.
void permute1_bmi2(uint64_t* a) noexcept;
// One state in the low words of 128-bit registers, with AVX-512VL.
void permute1_avx512vl(uint64_t* a) noexcept;

}  // namespace keccak
