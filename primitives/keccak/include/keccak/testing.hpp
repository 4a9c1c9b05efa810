// Permutations of 4 or 8 separate states, for the tests and benchmarks of
// the multi-lane code. Each transposes its states into the interleaved
// layout, runs the kernel that permute_lanes would run, and transposes them
// back; the library itself works on interleaved lanes and never calls them.
// dispatch.cpp defines them.
#pragma once

#include "keccak/keccak.hpp"

namespace keccak::testing {

// Lane k of the batch is states[k]; the result equals permute() applied to
// each state.
void permute_x4(State* states) noexcept;  // states[0..4)
void permute_x8(State* states) noexcept;  // states[0..8)

}  // namespace keccak::testing
