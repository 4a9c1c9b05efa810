// A leaf journal and a budget store that log every call the library makes
// and answer as a test scripts them; by default they behave like honest
// durable stores.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "valtorimesca/budget.hpp"
#include "valtorimesca/stateful.hpp"
#include "valtorimesca/vrf/stateless.hpp"

namespace vt_test {

struct RecordingJournal {
  using KeyIdentity = valtorimesca::stateful::KeyIdentity;

  std::optional<KeyIdentity> bound;
  uint32_t count = 0;  // leaves spent
  bool commit_ok = true;
  // Scripted answers, used (and dropped) before the honest ones.
  std::deque<std::optional<KeyIdentity>> bound_answers;
  std::deque<uint32_t> next_answers;
  // Runs inside a successful commit (lets a test disturb the key mid-call).
  std::function<void()> on_commit;
  std::vector<std::string> log;

  std::optional<KeyIdentity> bound_key() {
    log.push_back("bound_key");
    if (!bound_answers.empty()) {
      auto a = bound_answers.front();
      bound_answers.pop_front();
      return a;
    }
    return bound;
  }
  bool bind_key(const KeyIdentity& id) {
    log.push_back("bind_key");
    bound = id;
    return true;
  }
  uint32_t next_leaf() {
    log.push_back("next_leaf");
    if (!next_answers.empty()) {
      const uint32_t a = next_answers.front();
      next_answers.pop_front();
      return a;
    }
    return count;
  }
  bool commit(uint32_t leaf) {
    log.push_back("commit(" + std::to_string(leaf) + ")");
    if (!commit_ok) return false;
    count = leaf + 1;
    if (on_commit) on_commit();
    return true;
  }
};

struct RecordingBudget {
  using BudgetKey = valtorimesca::budget::BudgetKey;
  using Consumed = valtorimesca::budget::Consumed;

  std::map<std::array<uint8_t, 32>, uint64_t> counts;
  std::optional<Consumed> consumed_answer;  // overrides the honest answer
  bool record_ok = true;
  std::vector<std::string> log;

  static const std::array<uint8_t, 32>& k(const BudgetKey& key) { return key.bytes; }

  Consumed consumed(const BudgetKey& key) {
    log.push_back("consumed");
    if (consumed_answer) return *consumed_answer;
    auto it = counts.find(k(key));
    return it == counts.end() ? Consumed::nothing_recorded() : Consumed::recorded(it->second);
  }
  bool record(const BudgetKey& key, uint64_t n) {
    log.push_back("record(" + std::to_string(n) + ")");
    if (!record_ok) return false;
    counts[k(key)] = n;
    return true;
  }
};

static_assert(valtorimesca::stateful::LeafJournal<RecordingJournal>);
static_assert(valtorimesca::budget::StatelessBudgetStore<RecordingBudget>);

// The key a dedicated VRF key's budget-store entry is kept under: the
// budget key of its bundle's stateless material (bytes 100..164).
inline valtorimesca::budget::BudgetKey budget_key_of(const valtorimesca::vrf::stateless::DedicatedVrfKey& k) {
  return valtorimesca::budget::BudgetKey::from_material(k.bundle().subspan(100));
}

}  // namespace vt_test
