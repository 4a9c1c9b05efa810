// A leaf journal and a budget store kept in memory, both honest: what they
// are told to record they record and report back. For the programs that
// only need the stores to work (benchmarks, reference output); the tests
// that watch the library's calls use tests/stateful/recording.hpp.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include "valtorimesca/budget.hpp"
#include "valtorimesca/stateful.hpp"

namespace vt_test {

struct MemoryJournal {
  using KeyIdentity = valtorimesca::stateful::KeyIdentity;

  std::optional<KeyIdentity> bound;
  uint32_t next = 0;  // the next leaf: the number spent so far

  std::optional<KeyIdentity> bound_key() { return bound; }
  bool bind_key(const KeyIdentity& id) {
    bound = id;
    return true;
  }
  uint32_t next_leaf() { return next; }
  bool commit(uint32_t leaf) {
    next = leaf + 1;
    return true;
  }
};

struct MemoryBudget {
  using BudgetKey = valtorimesca::budget::BudgetKey;
  using Consumed = valtorimesca::budget::Consumed;

  std::map<std::array<uint8_t, valtorimesca::budget::kBudgetKeyLen>, uint64_t> counts;

  Consumed consumed(const BudgetKey& key) {
    const auto it = counts.find(key.bytes);
    return it == counts.end() ? Consumed::nothing_recorded() : Consumed::recorded(it->second);
  }
  bool record(const BudgetKey& key, uint64_t count) {
    counts[key.bytes] = count;
    return true;
  }
};

}  // namespace vt_test
