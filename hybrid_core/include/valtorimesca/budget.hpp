// The few-time budget store and the key its entries are kept under.
//
// The few-time (stateless) path of a SHRINCS key may be used a bounded number
// of times per stateless key material. The caller's store durably counts the
// spends under the material's BudgetKey; a spend is recorded before the
// signature or proof is made.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

#include "valtorimesca/error.hpp"

namespace valtorimesca::budget {

inline constexpr size_t kBudgetKeyLen = 32;
// Spends allowed per BudgetKey: the counts 1 .. 2^20 can be recorded.
inline constexpr uint64_t STATELESS_BUDGET_LIMIT = uint64_t{1} << 20;

// SHA-256 of the 64 bytes of stateless key material (stateless public seed
// followed by the hypertree root), with no label and no framing.
struct BudgetKey {
  std::array<uint8_t, kBudgetKeyLen> bytes{};

  static BudgetKey from_material(std::span<const uint8_t> material);
  bool operator==(const BudgetKey&) const = default;
};

// The three answers of a store's consumed: a recorded count, nothing
// recorded (counts as 0), or a read that failed (refuses the spend).
struct Consumed {
  enum class Kind : uint8_t { Count, NothingRecorded, FailedRead };
  Kind kind = Kind::FailedRead;
  uint64_t count = 0;

  static constexpr Consumed recorded(uint64_t n) noexcept { return {Kind::Count, n}; }
  static constexpr Consumed nothing_recorded() noexcept { return {Kind::NothingRecorded, 0}; }
  static constexpr Consumed failed_read() noexcept { return {Kind::FailedRead, 0}; }
  bool operator==(const Consumed&) const = default;
};

// consumed: the count recorded under the key. record: store the new running
// total durably; false on failure.
template <class B>
concept StatelessBudgetStore = requires(B& b, const BudgetKey& key, uint64_t count) {
  { b.consumed(key) } -> std::same_as<Consumed>;
  { b.record(key, count) } -> std::same_as<bool>;
};

// A non-owning view of any StatelessBudgetStore (see stateful::JournalRef).
class BudgetRef {
 public:
  template <StatelessBudgetStore B>
  explicit BudgetRef(B& store) noexcept : self_(&store), ops_(&kOps<B>) {}

  Consumed consumed(const BudgetKey& key) { return ops_->consumed(self_, key); }
  bool record(const BudgetKey& key, uint64_t count) { return ops_->record(self_, key, count); }

 private:
  struct Ops {
    Consumed (*consumed)(void*, const BudgetKey&);
    bool (*record)(void*, const BudgetKey&, uint64_t);
  };
  template <class B>
  static constexpr Ops kOps{
      [](void* s, const BudgetKey& k) { return static_cast<B*>(s)->consumed(k); },
      [](void* s, const BudgetKey& k, uint64_t n) { return static_cast<B*>(s)->record(k, n); },
  };

  void* self_;
  const Ops* ops_;
};

static_assert(StatelessBudgetStore<BudgetRef>);

// The few-time spend rule, shared by few-time signing and the dedicated VRF
// keys' proofs: ask `consumed` (nothing recorded counts as 0), refuse at
// STATELESS_BUDGET_LIMIT or above without recording, else `record` the count
// plus one. Only success lets the caller make its signature; a unit once
// recorded is never given back. A refusal is StatelessBudgetExhausted, or
// BudgetStoreFailed for a failed read or record.
CoreStatus spend_one(BudgetRef store, const BudgetKey& key);

}  // namespace valtorimesca::budget
