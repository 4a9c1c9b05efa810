// Dedicated VRF keys of ED_SH and SR_SH through the suite ABI: derivation,
// budgeted proofs with every refusal of the budget store, verification.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "../stateful/recording.hpp"
#include "valtorimesca/stateful_composite.hpp"
#include "valtorimesca/vrf/stateless.hpp"
#include "valtorimesca_abi/vrf.hpp"

namespace {

using namespace valtorimesca_abi;
using Bytes = std::vector<uint8_t>;
using vt_test::RecordingBudget;
using Consumed = valtorimesca::budget::Consumed;
constexpr uint64_t kLimit = valtorimesca::budget::STATELESS_BUDGET_LIMIT;

Seed32 master(uint8_t v) {
  Seed32 m{};
  m.fill(v);
  return m;
}

struct Derived {
  vrf::VrfStatelessKey key;
  Bytes pk;
};

Derived derive(SuiteCode c, uint8_t v = 9) {
  Bytes pk(196);
  auto k = vrf::VrfStatelessKey::derive(c, master(v), pk);
  if (!k) ADD_FAILURE() << "derive failed";
  return Derived{std::move(k).value(), pk};
}

const Bytes kX = {'x'}, kL = {'l'}, kR = {'r'}, kE = {'e'};

size_t header_of(SuiteCode c) { return c == SuiteCode::SR_SH ? 96 : 80; }

valtorimesca::budget::BudgetKey budget_key_of(const Bytes& pk) {
  return valtorimesca::budget::BudgetKey::from_material(std::span<const uint8_t>(pk).subspan(32 + 100, 64));
}

TEST(VrfStatelessAbi, DeriveRefusalsAndDeterminism) {
  Bytes pk(196);
  for (uint8_t c = 1; c <= 4; ++c) {
    auto k = vrf::VrfStatelessKey::derive(static_cast<SuiteCode>(c), master(1), pk);
    ASSERT_FALSE(k.ok());
    EXPECT_EQ(k.error(), AbiError::WrongEntryPointForSuite);
  }
  Bytes short_pk(195, 0x77);
  auto k = vrf::VrfStatelessKey::derive(SuiteCode::SR_SH, master(1), short_pk);
  ASSERT_FALSE(k.ok());
  EXPECT_EQ(k.error(), AbiError::BadLength);
  EXPECT_EQ(short_pk, Bytes(195, 0x77));

  for (SuiteCode c : {SuiteCode::ED_SH, SuiteCode::SR_SH}) {
    const Derived a = derive(c), b = derive(c);
    EXPECT_EQ(a.key.suite(), c);
    EXPECT_EQ(a.pk, b.pk);
    EXPECT_NE(derive(c, 10).pk, a.pk);
    EXPECT_EQ(Bytes(a.pk.begin() + 96, a.pk.begin() + 100), (Bytes{0, 0, 0, 1}));  // one leaf
    // Apart from the identity key of the same master seed.
    const Seed32 m = master(9);
    auto id = c == SuiteCode::ED_SH ? valtorimesca::stateful_composite::keygen<valtorimesca::shrincs::EdSh>(m, 1)
                                    : valtorimesca::stateful_composite::keygen<valtorimesca::shrincs::SrSh>(m, 1);
    ASSERT_TRUE(id.ok());
    EXPECT_NE(id->pk.bytes, a.pk);
    EXPECT_NE(budget_key_of(id->pk.bytes), budget_key_of(a.pk));
  }
  const Bytes ed = derive(SuiteCode::ED_SH).pk, sr = derive(SuiteCode::SR_SH).pk;
  EXPECT_FALSE(std::equal(ed.begin() + 32, ed.end(), sr.begin() + 32));
}

TEST(VrfStatelessAbi, BudgetRefusalsSpendNothingAndSignNothing) {
  const Derived d = derive(SuiteCode::ED_SH);
  const size_t n = vrf::vrf_proof_len(SuiteCode::ED_SH);
  const auto bk = budget_key_of(d.pk);

  RecordingBudget untouched;
  Bytes short_buf(n - 1);
  EXPECT_EQ(vrf::vrf_prove_stateless(d.key, untouched, {}, short_buf).error(), AbiError::OutputBufferTooSmall);
  EXPECT_TRUE(untouched.log.empty());

  struct Case {
    const char* name;
    std::optional<Consumed> answer;
    bool record_ok;
    AbiError expect;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"failed read", Consumed::failed_read(), true, AbiError::BudgetStoreFailed, {"consumed"}},
      {"at the limit", Consumed::recorded(kLimit), true, AbiError::StatelessBudgetExhausted, {"consumed"}},
      {"far past it", Consumed::recorded(~uint64_t{0}), true, AbiError::StatelessBudgetExhausted, {"consumed"}},
      {"record fails", std::nullopt, false, AbiError::BudgetStoreFailed, {"consumed", "record(1)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingBudget store;
    store.consumed_answer = c.answer;
    store.record_ok = c.record_ok;
    Bytes out(n, 0);
    auto r = vrf::vrf_prove_stateless(d.key, store, kX, out);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), c.expect);
    EXPECT_EQ(store.log, c.log);
    // The post-quantum part was never written.
    EXPECT_TRUE(std::all_of(out.begin() + 80, out.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(store.counts.empty());
  }

  // The last unit can be spent; the next is refused.
  RecordingBudget store;
  store.counts[bk.bytes] = kLimit - 1;
  Bytes out(n);
  ASSERT_EQ(*vrf::vrf_prove_stateless(d.key, store, kX, out), n);
  EXPECT_EQ(store.log, (std::vector<std::string>{"consumed", "record(1048576)"}));
  EXPECT_TRUE(vrf::vrf_verify(SuiteCode::ED_SH, d.pk, kX, out));
  EXPECT_EQ(vrf::vrf_prove_stateless(d.key, store, kX, out).error(), AbiError::StatelessBudgetExhausted);
  EXPECT_EQ(store.counts[bk.bytes], kLimit);
}

TEST(VrfStatelessAbi, ProofsVerifyAgreeAndAreBoundEverywhere) {
  const Bytes input = {'e', 'p', 'o', 'c', 'h'};
  for (SuiteCode c : {SuiteCode::ED_SH, SuiteCode::SR_SH}) {
    SCOPED_TRACE(static_cast<int>(c));
    const Derived d = derive(c);
    const size_t n = vrf::vrf_proof_len(c), h = header_of(c);
    RecordingBudget store;
    Bytes a(n), b(n + 3, 0xEE);
    ASSERT_EQ(*vrf::vrf_prove_stateless(d.key, store, input, a), n);
    ASSERT_EQ(*vrf::vrf_prove_stateless(d.key, store, input, b), n);
    EXPECT_EQ(store.log, (std::vector<std::string>{"consumed", "record(1)", "consumed", "record(2)"}));
    EXPECT_TRUE(std::all_of(b.begin() + n, b.end(), [](uint8_t v) { return v == 0xEE; }));
    b.resize(n);
    EXPECT_TRUE(vrf::vrf_verify(c, d.pk, input, a));
    EXPECT_TRUE(vrf::vrf_verify(c, d.pk, input, b));
    if (c == SuiteCode::ED_SH) {
      EXPECT_EQ(a, b);
    } else {
      EXPECT_TRUE(std::equal(a.begin(), a.begin() + 32, b.begin()));
      EXPECT_TRUE(std::equal(a.begin() + 96, a.end(), b.begin() + 96));
      EXPECT_FALSE(std::equal(a.begin() + 32, a.begin() + 96, b.begin() + 32));
    }
    vrf::Output oa{}, ob{}, ohead{}, other{};
    ASSERT_TRUE(vrf::vrf_make_bytes(c, d.pk, input, a, kL, oa).ok());
    ASSERT_TRUE(vrf::vrf_make_bytes(c, d.pk, input, b, kL, ob).ok());
    ASSERT_TRUE(vrf::vrf_make_bytes(c, d.pk, input, Bytes(a.begin(), a.begin() + h), kL, ohead).ok());
    ASSERT_TRUE(vrf::vrf_make_bytes(c, d.pk, input, a, kR, other).ok());
    EXPECT_EQ(oa, ob);
    EXPECT_EQ(oa, ohead);
    EXPECT_NE(oa, other);
    EXPECT_EQ(vrf::vrf_make_bytes(c, d.pk, input, Bytes(a.begin(), a.begin() + h - 1), {}, other).error(),
              AbiError::BadLength);

    for (size_t i : {size_t{0}, size_t{31}, size_t{32}, h - 1, h, h + 1, h + 20000, n - 1}) {
      Bytes bad = a;
      bad[i] ^= 0x04;
      EXPECT_FALSE(vrf::vrf_verify(c, d.pk, input, bad)) << "byte " << i;
    }
    Bytes bad_pk = d.pk;
    bad_pk[32 + 70] ^= 1;  // the bundle's carried commitment
    EXPECT_FALSE(vrf::vrf_verify(c, bad_pk, input, a));
    EXPECT_FALSE(vrf::vrf_verify(c, d.pk, kE, a));
    EXPECT_FALSE(vrf::vrf_verify(c, d.pk, input, Bytes(a.begin(), a.end() - 1)));
    const SuiteCode twin = c == SuiteCode::ED_SH ? SuiteCode::SR_SH : SuiteCode::ED_SH;
    EXPECT_FALSE(vrf::vrf_verify(twin, d.pk, input, a));
  }
}

}  // namespace
