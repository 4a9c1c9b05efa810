// Stateful and few-time signing through a journal and a budget store that
// log every call: the exact call sequence on success and on each refusal,
// what was committed or recorded, and whether the key advanced.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "recording.hpp"
#include "valtorimesca/stateful_composite.hpp"
#include "valtorimesca/vrf/stateless.hpp"

namespace {

using namespace valtorimesca;
using stateful::StatefulSignError;
using stateful_composite::EdSh;
using stateful_composite::SecretKey;
using stateful_composite::SrSh;
using vt_test::RecordingBudget;
using vt_test::RecordingJournal;
using Log = std::vector<std::string>;
using Kind = CoreError::Kind;

const std::vector<uint8_t> kMsg = {'r', 'o', 't', 'a', 't', 'e'};
const std::vector<uint8_t> kCtx = {'a', 'c', 'c', 't'};

// One key of each capacity, made once; every test imports a fresh copy.
const std::vector<uint8_t>& blob(uint32_t capacity) {
  static std::map<uint32_t, std::vector<uint8_t>> blobs;
  auto it = blobs.find(capacity);
  if (it != blobs.end()) return it->second;
  std::array<uint8_t, 32> m{};
  m[0] = uint8_t(capacity);
  auto kp = stateful_composite::keygen<EdSh>(m, capacity);
  auto b = kp->sk.export_blob();
  return blobs[capacity] = std::vector<uint8_t>(b->data(), b->data() + b->size());
}

SecretKey fresh(uint32_t capacity) { return SecretKey::import <EdSh>(blob(capacity)).value(); }

stateful::KeyIdentity identity(const SecretKey& k) { return stateful::KeyIdentity::derive(EdSh::label(), k.bundle); }

std::vector<uint8_t> pk_of(const SecretKey& k) {
  // Only the bundle matters to these tests' verifications; the classical
  // public key is rebuilt from the classical seed.
  std::array<uint8_t, 64> sk{};
  std::vector<uint8_t> pk(32);
  EXPECT_TRUE(EdSh::Classical::derive(std::span<const uint8_t, 32>(k.classical_sk.data(), 32), sk, pk).ok());
  pk.insert(pk.end(), k.bundle.begin(), k.bundle.end());
  return pk;
}

TEST(StatefulSigning, CallSequences) {
  const stateful::KeyIdentity other{{1, 2, 3}};
  const Log full = {"bound_key", "next_leaf", "bound_key", "next_leaf", "commit(0)"};
  const Log four = {"bound_key", "next_leaf", "bound_key", "next_leaf"};
  struct Case {
    std::string name;
    std::function<void(RecordingJournal&, std::vector<uint8_t>& ctx)> setup;
    std::optional<StatefulSignError> want;
    Log calls;
    uint32_t committed;  // the journal's count afterwards
  };
  const std::vector<Case> cases = {
      {"success", [](auto&, auto&) {}, std::nullopt, full, 1},
      {"context of 256 bytes", [](auto&, auto& ctx) { ctx.assign(256, 0); }, StatefulSignError::SigningFailed, {}, 0},
      {"never bound", [](auto& j, auto&) { j.bound.reset(); }, StatefulSignError::JournalKeyMismatch, {"bound_key"}, 0},
      {"bound to another key",
       [&](auto& j, auto&) { j.bound = other; },
       StatefulSignError::JournalKeyMismatch,
       {"bound_key"},
       0},
      {"count ahead of the key",
       [](auto& j, auto&) { j.next_answers = {1}; },
       StatefulSignError::CountersDiverged,
       {"bound_key", "next_leaf"},
       0},
      {"count unreadable",
       [](auto& j, auto&) { j.next_answers = {0xffffffffu}; },
       StatefulSignError::CountersDiverged,
       {"bound_key", "next_leaf"},
       0},
      {"identity changed after the classical signature",
       [&](auto& j, auto&) {
         j.bound_answers = {j.bound, other};
       },
       StatefulSignError::JournalKeyMismatch,
       {"bound_key", "next_leaf", "bound_key"},
       0},
      {"identity lost after the classical signature",
       [&](auto& j, auto&) {
         j.bound_answers = {j.bound, std::nullopt};
       },
       StatefulSignError::JournalKeyMismatch,
       {"bound_key", "next_leaf", "bound_key"},
       0},
      {"second count unreadable",
       [](auto& j, auto&) {
         j.next_answers = {0, 0xffffffffu};
       },
       StatefulSignError::LeavesExhausted, four, 0},
      {"second count at the capacity",
       [](auto& j, auto&) {
         j.next_answers = {0, 2};
       },
       StatefulSignError::LeavesExhausted, four, 0},
      // Another holder of the same blob spent leaf 0 between the readings:
      // committing leaf 1 while the engine signs leaf 1 would reuse it later.
      {"journal moved between the readings",
       [](auto& j, auto&) {
         j.next_answers = {0, 1};
       },
       StatefulSignError::CountersDiverged, four, 0},
      {"commit fails", [](auto& j, auto&) { j.commit_ok = false; }, StatefulSignError::JournalFailed, full, 0},
  };
  for (const Case& c : cases) {
    SecretKey key = fresh(2);
    RecordingJournal j;
    j.bound = identity(key);
    std::vector<uint8_t> ctx = kCtx;
    c.setup(j, ctx);
    auto r = stateful_composite::sign_stateful<EdSh>(key, stateful::JournalRef(j), kMsg, ctx);
    EXPECT_EQ(j.log, c.calls) << c.name;
    EXPECT_EQ(j.count, c.committed) << c.name;
    if (c.want) {
      ASSERT_FALSE(r.ok()) << c.name;
      EXPECT_EQ(r.error(), *c.want) << c.name;
      EXPECT_EQ(key.pq.next_leaf(), 1u) << c.name;
    } else {
      ASSERT_TRUE(r.ok()) << c.name;
      EXPECT_EQ(r->size(), 2185u);
      EXPECT_EQ(key.pq.next_leaf(), 2u);
      EXPECT_TRUE(stateful_composite::verify_stateful<EdSh>(pk_of(key), kMsg, ctx, *r));
      auto b = key.export_blob();
      EXPECT_EQ(hash::get_be32(b->data() + 328), 1u);
    }
  }
}

TEST(StatefulSigning, EngineRefusalAfterCommitLeavesTheKeyUnableToSign) {
  SecretKey key = fresh(2);
  RecordingJournal j;
  j.bound = identity(key);
  // The engine refuses a leaf number of 0; the commit has happened by then.
  j.on_commit = [&] { key.pq.keys().stateful.set_next(0); };
  auto r = stateful_composite::sign_stateful<EdSh>(key, stateful::JournalRef(j), kMsg, kCtx);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), StatefulSignError::GrindAbort);
  EXPECT_EQ(j.count, 1u);              // the leaf stays spent
  key.pq.keys().stateful.set_next(1);  // as the engine left it: not advanced
  j.on_commit = nullptr;
  j.log.clear();
  auto again = stateful_composite::sign_stateful<EdSh>(key, stateful::JournalRef(j), kMsg, kCtx);
  EXPECT_EQ(again.error(), StatefulSignError::CountersDiverged);
  EXPECT_EQ(j.log, (Log{"bound_key", "next_leaf"}));
}

TEST(StatefulSigning, OneLeafKeySignsOnceThenIsExhausted) {
  SecretKey key = fresh(1);
  RecordingJournal j;
  j.bound = identity(key);
  auto r = stateful_composite::sign_stateful<EdSh>(key, stateful::JournalRef(j), kMsg, kCtx);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(key.pq.next_leaf(), 2u);
  j.log.clear();
  auto r2 = stateful_composite::sign_stateful<EdSh>(key, stateful::JournalRef(j), kMsg, kCtx);
  EXPECT_EQ(r2.error(), StatefulSignError::LeavesExhausted);
  EXPECT_EQ(j.log, (Log{"bound_key", "next_leaf", "bound_key", "next_leaf"}));
  // The exhausted key exports and imports (next = capacity + 1).
  auto b = key.export_blob();
  EXPECT_TRUE(SecretKey::import <EdSh>(b->span()).ok());
}

TEST(FewTimeSigning, CallSequences) {
  using budget::Consumed;
  const uint64_t limit = budget::STATELESS_BUDGET_LIMIT;
  struct Case {
    std::string name;
    std::function<void(RecordingBudget&, std::vector<uint8_t>& ctx)> setup;
    std::optional<StatefulSignError> want;
    Log calls;
  };
  const std::vector<Case> cases = {
      {"nothing recorded", [](auto&, auto&) {}, std::nullopt, {"consumed", "record(1)"}},
      {"one below the limit",
       [&](auto& b, auto&) { b.consumed_answer = Consumed::recorded(limit - 1); },
       std::nullopt,
       {"consumed", "record(1048576)"}},
      {"at the limit",
       [&](auto& b, auto&) { b.consumed_answer = Consumed::recorded(limit); },
       StatefulSignError::StatelessBudgetExhausted,
       {"consumed"}},
      {"failed read",
       [](auto& b, auto&) { b.consumed_answer = Consumed::failed_read(); },
       StatefulSignError::BudgetStoreFailed,
       {"consumed"}},
      {"record fails",
       [](auto& b, auto&) { b.record_ok = false; },
       StatefulSignError::BudgetStoreFailed,
       {"consumed", "record(1)"}},
      {"context of 256 bytes", [](auto&, auto& ctx) { ctx.assign(256, 0); }, StatefulSignError::SigningFailed, {}},
  };
  const SecretKey key = fresh(2);
  const std::vector<uint8_t> before = [&] {
    auto b = key.export_blob();
    return std::vector<uint8_t>(b->data(), b->data() + b->size());
  }();
  std::vector<std::vector<uint8_t>> made;
  for (const Case& c : cases) {
    RecordingBudget store;
    std::vector<uint8_t> ctx = kCtx;
    c.setup(store, ctx);
    auto r = stateful_composite::sign_stateless<EdSh>(key, budget::BudgetRef(store), kMsg, ctx);
    EXPECT_EQ(store.log, c.calls) << c.name;
    if (c.want) {
      ASSERT_FALSE(r.ok()) << c.name;
      EXPECT_EQ(r.error(), *c.want) << c.name;
    } else {
      ASSERT_TRUE(r.ok()) << c.name;
      EXPECT_EQ(r->size(), 29157u);
      made.push_back(*r);
    }
  }
  // Deterministic, and the key is not changed by few-time signing.
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0], made[1]);
  auto after = key.export_blob();
  EXPECT_EQ(std::vector<uint8_t>(after->data(), after->data() + after->size()), before);
  // Only its own path verifies it.
  const auto pk = pk_of(key);
  EXPECT_TRUE(stateful_composite::verify_stateless<EdSh>(pk, kMsg, kCtx, made[0]));
  EXPECT_FALSE(stateful_composite::verify_stateful<EdSh>(pk, kMsg, kCtx, made[0]));
  EXPECT_FALSE(stateful_composite::verify_stateless<SrSh>(pk, kMsg, kCtx, made[0]));
}

}  // namespace

namespace {

using shrincs_scheme = valtorimesca::shrincs::ShrincsScheme;

TEST(ShrincsAdapterSigning, StatefulRefusalsAndWhenTheLeafIsUsedUp) {
  SecretKey key = fresh(2);
  const std::vector<uint8_t> m = {'m'};
  std::vector<uint8_t> out(2084 + 32 * 2);
  auto r = shrincs_scheme::sign_stateful(key.pq, std::vector<uint8_t>(163), m, out);
  EXPECT_EQ(r.error(), CoreError::bad_length(164, 163));
  EXPECT_EQ(key.pq.next_leaf(), 1u);
  // An output one byte short is found after the engine signed: leaf 1 is gone.
  std::vector<uint8_t> short_out(2084 + 32 - 1);
  auto s = shrincs_scheme::sign_stateful(key.pq, key.bundle, m, short_out);
  EXPECT_EQ(s.error(), CoreError::output_buffer_too_small(2116, 2115));
  EXPECT_EQ(key.pq.next_leaf(), 2u);
  auto ok = shrincs_scheme::sign_stateful(key.pq, key.bundle, m, out);
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(*ok, 2084u + 64);
  const auto action = shrincs_scheme::acceptable_action(m);
  ASSERT_TRUE(action);
  EXPECT_TRUE(shrincs_scheme::verify_stateful(key.bundle, *action, std::span(out).first(*ok)).declassify());
  for (size_t n : {2083u, 2084u, 2085u})
    EXPECT_FALSE(shrincs_scheme::verify_stateful(key.bundle, *action, std::span(out).first(n)).declassify()) << n;
  // Exhausted (next = capacity + 1): refused, the key stays as it was.
  auto ex = shrincs_scheme::sign_stateful(key.pq, key.bundle, m, out);
  EXPECT_EQ(ex.error().kind, CoreError::Kind::ComponentFailure);
  EXPECT_EQ(key.pq.next_leaf(), 3u);
  // An absent key refuses everything that needs it.
  key.pq.zeroize();
  EXPECT_FALSE(key.pq.present());
  std::array<uint8_t, 264> engine{};
  EXPECT_EQ(shrincs_scheme::export_secret_key(key.pq, engine).error().kind, CoreError::Kind::ComponentFailure);
  EXPECT_EQ(shrincs_scheme::export_secret_key(key.pq, std::span(engine).first(263)).error(),
            CoreError::bad_length(264, 263));
}

TEST(DedicatedVrfKey, FewTimeHalfSpendsBeforeItSigns) {
  std::array<uint8_t, 32> m{};
  m[5] = 9;
  auto derived = vrf::stateless::derive_stateless_key<SrSh>(m);
  ASSERT_TRUE(derived.ok());
  const auto& key = derived->key;
  const std::vector<uint8_t> binding(32, 0x77);
  std::vector<uint8_t> out(29092);

  RecordingBudget full;
  full.consumed_answer = budget::Consumed::recorded(budget::STATELESS_BUDGET_LIMIT);
  EXPECT_EQ(vrf::stateless::sign_binding_stateless(key, budget::BudgetRef(full), binding, out).error().kind,
            CoreError::Kind::StatelessBudgetExhausted);
  EXPECT_EQ(full.log, (Log{"consumed"}));
  RecordingBudget failing;
  failing.record_ok = false;
  EXPECT_EQ(vrf::stateless::sign_binding_stateless(key, budget::BudgetRef(failing), binding, out).error().kind,
            CoreError::Kind::BudgetStoreFailed);
  EXPECT_EQ(failing.log, (Log{"consumed", "record(1)"}));

  RecordingBudget store;
  auto n = vrf::stateless::sign_binding_stateless(key, budget::BudgetRef(store), binding, out);
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(*n, 29092u);
  EXPECT_EQ(store.counts.at(vt_test::budget_key_of(key).bytes), 1u);
  const auto action = shrincs_scheme::acceptable_action(binding);
  ASSERT_TRUE(action);
  EXPECT_TRUE(shrincs_scheme::verify_stateless(key.bundle(), *action, out).declassify());
  EXPECT_FALSE(shrincs_scheme::verify_stateless(key.bundle(), *action, std::span(out).first(29091)).declassify());
  // The dedicated key is another key than the identity key of the seed.
  auto identity = stateful_composite::keygen<SrSh>(m, 1);
  EXPECT_NE(identity->sk.bundle, std::vector<uint8_t>(key.bundle().begin(), key.bundle().end()));
}

}  // namespace
