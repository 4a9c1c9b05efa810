// WOTS+C: Winternitz one-time signatures in base 16 with 64 chains and no
// checksum chains; the signer grinds a counter until the 64 digits of the
// message digest sum to the target.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/profiles/p256s.hpp"

namespace wots_c {

using hash::Digest;
using Digits = std::vector<uint32_t>;
using Values = std::vector<Digest>;

struct GrindResult {
  uint32_t counter;
  Values values;
};

// The 64 base-16 digits of a digest, in order.
Digits digits_of(const Digest& d);

// Lowest counter below `limit` whose result wins, tried in order. eval(base,
// k, out) computes the results of counters base .. base + k - 1 at once (k is
// at most `batch`); before(c) runs for every c >= 1 that is tried, in order,
// up to and including the winner. The answer is the one a one-at-a-time
// search gives.
template <class R, size_t Batch, class Eval, class Wins, class Before>
std::optional<std::pair<uint32_t, R>> lowest_winning_counter(uint32_t limit, Eval&& eval, Wins&& wins,
                                                             Before&& before) {
  std::array<R, Batch> res;
  for (uint64_t base = 0; base < limit; base += Batch) {
    const size_t k = size_t(limit - base < Batch ? limit - base : Batch);
    eval(uint32_t(base), k, res.data());
    for (size_t j = 0; j < k; ++j) {
      const uint32_t c = uint32_t(base + j);
      if (c != 0) before(c);
      if (wins(res[j])) return std::pair<uint32_t, R>(c, res[j]);
    }
  }
  return std::nullopt;
}

// Grinding with a batched digest function: digests(base, k, out) fills the
// digests of counters base .. base + k - 1 (k <= 8). The first counter below
// `bound` whose digest has the target digit sum, with values(digits).
template <class DigestsFn, class ValuesFn>
std::optional<GrindResult> grind_digit_sum_batched(uint32_t bound, uint32_t target, DigestsFn&& digests,
                                                   ValuesFn&& values) {
  auto won = lowest_winning_counter<Digest, 8>(
      bound, digests, [&](const Digest& d) { return hash::ops::digit_sum(d) == target; }, [](uint32_t) {});
  if (!won) return std::nullopt;
  return GrindResult{won->first, values(digits_of(won->second))};
}

}  // namespace wots_c
