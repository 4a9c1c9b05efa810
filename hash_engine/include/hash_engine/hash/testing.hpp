// The engine's permutation count, for the tests and benchmarks that hold an
// operation to its cost. lanes.cpp keeps the count; the library never reads
// it.
#pragma once

#include <cstdint>

#include "hash_engine/hash/ops.hpp"

namespace hash::testing {

// Number of Keccak-p[1600] permutations the engine has run on this thread
// (each lane of a multi-lane call counts as one).
uint64_t permutation_count() noexcept;
void reset_permutation_count() noexcept;

// The same permutations by the kernel that ran them: one-lane permutations,
// and calls of the 4- and 8-lane kernels (a spare lane of such a call counts
// too). permutation_count() is x1 + 4*x4 + 8*x8.
PermutationCalls permutation_calls() noexcept;

}  // namespace hash::testing
