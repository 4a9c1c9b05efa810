// VRF behaviour: hedged and deterministic evaluation, refusals, and the
// output bytes' dependence on context and key.
#include <gtest/gtest.h>

#include "test_util.hpp"

namespace {

using namespace sr_test;
using valtorimesca::CoreError;
namespace sr = valtorimesca::classical::sr25519;

struct Eval {
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 64> proof{};
};

Eval det(const Keys& k, std::span<const uint8_t> label, std::span<const uint8_t> input) {
  Eval e;
  if (!Sr25519::vrf_evaluate_deterministic(k.sk, label, input, e.pre, e.proof)) throw std::runtime_error("eval");
  return e;
}

Eval hedged(const Keys& k, std::span<const uint8_t> label, std::span<const uint8_t> input) {
  Eval e;
  sr::OsRng os;
  if (!Sr25519::vrf_evaluate(k.sk, label, input, os, e.pre, e.proof)) throw std::runtime_error("eval");
  return e;
}

TEST(Sr25519Vrf, DeterministicAndHedgedAgreeOnPreOutput) {
  const Keys k = keys_from(21);
  const auto a = det(k, label_sr_ml(), str("input"));
  const auto b = det(k, label_sr_ml(), str("input"));
  EXPECT_EQ(a.pre, b.pre);
  EXPECT_EQ(a.proof, b.proof);
  const auto h1 = hedged(k, label_sr_ml(), str("input"));
  const auto h2 = hedged(k, label_sr_ml(), str("input"));
  EXPECT_EQ(h1.pre, a.pre);
  EXPECT_EQ(h2.pre, a.pre);
  EXPECT_NE(h1.proof, h2.proof);
  EXPECT_NE(h1.proof, a.proof);
  for (const Eval* e : {&a, &h1, &h2})
    EXPECT_TRUE(Sr25519::vrf_verify(k.pk, label_sr_ml(), str("input"), e->pre, e->proof).declassify());
  auto o1 = Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("input"), h1.pre, str("leadership"));
  auto o2 = Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("input"), a.pre, str("leadership"));
  ASSERT_TRUE(o1 && o2);
  EXPECT_EQ(*o1, *o2);
}

TEST(Sr25519Vrf, DeterministicSeedUsesLabelAndInput) {
  // The label stands in the nonce slot of the nonce seed.
  const Keys k = keys_from(22);
  auto seed = sr::nonce_seed_in(sr::label_with_zero(sr::kVrfNonceSeedLabel), k.sk, label_sr_fn(), str("x"));
  valtorimesca::SeededRng rng(seed.span());
  Eval e;
  ASSERT_TRUE(sr::vrf_impl::evaluate_with_rng(k.sk, label_sr_fn(), str("x"), rng, e.pre, e.proof));
  const auto d = det(k, label_sr_fn(), str("x"));
  EXPECT_EQ(e.proof, d.proof);
}

TEST(Sr25519Vrf, RefusesMalformedProofsAndLabels) {
  const Keys k = keys_from(23);
  const auto e = det(k, label_sr_ml(), str("in"));
  auto verify = [&](std::span<const uint8_t> pk, std::span<const uint8_t> label, std::span<const uint8_t> pre,
                    std::span<const uint8_t> proof) {
    return Sr25519::vrf_verify(pk, label, str("in"), pre, proof).declassify();
  };
  EXPECT_TRUE(verify(k.pk, label_sr_ml(), e.pre, e.proof));
  EXPECT_FALSE(verify(k.pk, label_sr_fn(), e.pre, e.proof));
  auto bad_c = e.proof;
  bad_c[31] |= 0xf0;  // c >= l
  auto bad_s = e.proof;
  bad_s[63] |= 0xf0;  // s >= l
  std::array<uint8_t, 32> identity{};
  EXPECT_FALSE(verify(k.pk, label_sr_ml(), e.pre, bad_c));
  EXPECT_FALSE(verify(k.pk, label_sr_ml(), e.pre, bad_s));
  EXPECT_FALSE(verify(k.pk, label_sr_ml(), identity, e.proof));
  EXPECT_FALSE(verify(k.pk, label_sr_ml(), e.pre, std::span(e.proof).first(63)));
  EXPECT_FALSE(verify(k.pk, label_sr_ml(), std::span(e.pre).first(31), e.proof));
  const Keys other = keys_from(24);
  EXPECT_FALSE(verify(other.pk, label_sr_ml(), e.pre, e.proof));
  std::array<uint8_t, 32> bad_pk{};
  bad_pk.fill(0xff);
  EXPECT_FALSE(verify(bad_pk, label_sr_ml(), e.pre, e.proof));
}

TEST(Sr25519Vrf, EvaluationErrors) {
  const Keys k = keys_from(25);
  std::array<uint8_t, 65> sk65{};
  std::array<uint8_t, 64> sk_ff{};
  sk_ff.fill(0xff);
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 31> pre31{};
  std::array<uint8_t, 64> proof{};
  std::array<uint8_t, 65> proof65{};
  sr::OsRng os;
  const ErrCase table[] = {
      {"det sk65", Sr25519::vrf_evaluate_deterministic(sk65, label_sr_ml(), {}, pre, proof),
       CoreError::bad_length(64, 65)},
      {"hedged sk65", Sr25519::vrf_evaluate(sk65, label_sr_ml(), {}, os, pre, proof), CoreError::bad_length(64, 65)},
      {"pre31", Sr25519::vrf_evaluate_deterministic(k.sk, label_sr_ml(), {}, pre31, proof),
       CoreError::bad_length(32, 31)},
      {"proof65", Sr25519::vrf_evaluate(k.sk, label_sr_ml(), {}, os, pre, proof65), CoreError::bad_length(64, 65)},
      {"det ff", Sr25519::vrf_evaluate_deterministic(sk_ff, label_sr_ml(), {}, pre, proof),
       CoreError::component_failure()},
      {"hedged ff", Sr25519::vrf_evaluate(sk_ff, label_sr_ml(), {}, os, pre, proof), CoreError::component_failure()},
  };
  expect_errors(table);
}

TEST(Sr25519Vrf, MakeBytesDependsOnContextAndKeyAndRefusesBadPoints) {
  const Keys k = keys_from(26);
  const auto e = det(k, label_sr_ml(), str("in"));
  auto a = Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("in"), e.pre, str("leadership"));
  auto b = Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("in"), e.pre, str("randomness"));
  const Keys other = keys_from(27);
  auto c = Sr25519::vrf_make_bytes(other.pk, label_sr_ml(), str("in"), e.pre, str("leadership"));
  ASSERT_TRUE(a && b && c);
  EXPECT_NE(*a, *b);
  EXPECT_NE(*a, *c);

  std::array<uint8_t, 32> identity{}, bad{};
  bad.fill(0xff);
  std::vector<uint8_t> pk33(k.pk.begin(), k.pk.end());
  pk33.push_back(0);
  const CoreError cf = CoreError::component_failure();
  EXPECT_EQ(Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("in"), identity, {}).error(), cf);
  EXPECT_EQ(Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("in"), bad, {}).error(), cf);
  EXPECT_EQ(Sr25519::vrf_make_bytes(bad, label_sr_ml(), str("in"), e.pre, {}).error(), cf);
  EXPECT_EQ(Sr25519::vrf_make_bytes(pk33, label_sr_ml(), str("in"), e.pre, {}).error(), cf);
  EXPECT_EQ(Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), str("in"), std::span(e.pre).first(31), {}).error(), cf);
}

}  // namespace
