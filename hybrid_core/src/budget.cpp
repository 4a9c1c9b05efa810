#include "valtorimesca/budget.hpp"

#include "sha2/sha2.hpp"

namespace valtorimesca::budget {

BudgetKey BudgetKey::from_material(std::span<const uint8_t> material) { return BudgetKey{sha2::sha256(material)}; }

CoreStatus spend_one(BudgetRef store, const BudgetKey& key) {
  const Consumed c = store.consumed(key);
  if (c.kind == Consumed::Kind::FailedRead) return fail(CoreError::budget_store_failed());
  const uint64_t count = c.kind == Consumed::Kind::Count ? c.count : 0;
  if (count >= STATELESS_BUDGET_LIMIT) return fail(CoreError::stateless_budget_exhausted());
  if (!store.record(key, count + 1)) return fail(CoreError::budget_store_failed());
  return {};
}

}  // namespace valtorimesca::budget
