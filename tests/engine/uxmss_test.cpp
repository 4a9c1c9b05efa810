#include "hash_engine/shrincs/uxmss.hpp"

#include <gtest/gtest.h>

#include "engine_codecs.hpp"
#include "hash_engine/hash/testing.hpp"
#include "hash_engine/wots_c.hpp"
#include "keccak/keccak.hpp"
#include "reference.hpp"
#include "vectors.hpp"

namespace {

using hash::Digest;
using hash::Part;
using hash::ops::keccak_packed;
using shrincs::uxmss::Key;
using P = profiles::p256s::Profile256s;

Digest seed(const char* s, uint32_t i = 0) { return keccak_packed({Part(std::string_view(s)), Part(hash::be32(i))}); }

Key make_key(uint32_t capacity, uint32_t tag = 0) {
  return Key::generate(hash::SecretSeed(seed("sk", tag)), hash::SecretSeed(seed("prf", tag)), seed("pk", tag),
                       capacity);
}

std::vector<uint8_t> msg(uint32_t i) {
  Digest d = seed("message", i);
  return std::vector<uint8_t>(d.begin(), d.end());
}

// A one-at-a-time signer written straight from the construction.
shrincs::signature::Signature reference_sign(const Digest& sk, const Digest& prf, const Digest& pk, uint32_t m,
                                             uint32_t q, const std::vector<uint8_t>& message) {
  shrincs::signature::Signature s;
  s.randomizer = keccak_packed({Part(P::UXMSS_RANDOMIZER), Part(prf), Part(hash::be32(q)), Part(message)});
  auto g = ref::grind_digit_sum(
      P::WOTS_COUNTER_BOUND, P::DIGIT_SUM_TARGET,
      [&](uint32_t c) {
        return keccak_packed({Part(P::UXMSS_DIGITS), Part(pk), Part(hash::be32(q)), Part(s.randomizer),
                              Part(hash::be32(c)), Part(message)});
      },
      [&](const wots_c::Digits& d) {
        wots_c::Values v;
        for (uint32_t i = 0; i < 64; ++i) v.push_back(ref::ux_walk(pk, q, i, ref::ux_secret(sk, pk, q, i), 0, d[i]));
        return v;
      });
  EXPECT_TRUE(g);
  s.counter = g->counter;
  s.wots_values = g->values;
  s.auth_path.push_back(ref::ux_chain_node(sk, pk, q + 1, m));
  for (uint32_t a = q - 1; a >= 1; --a) s.auth_path.push_back(ref::ux_leaf(sk, pk, a));
  return s;
}

TEST(WotsC, GrindStopsAtTheFirstWinner) {
  int calls = 0;
  Digest win;
  win.fill(0x78);  // 32 × (7 + 8) = 480
  auto r = ref::grind_digit_sum(
      5, 480,
      [&](uint32_t) {
        ++calls;
        return win;
      },
      [](const wots_c::Digits& d) { return wots_c::Values(d.size()); });
  ASSERT_TRUE(r);
  EXPECT_EQ(r->counter, 0u);
  EXPECT_EQ(calls, 1);
  calls = 0;
  Digest lose{};
  r = ref::grind_digit_sum(
      5, 480,
      [&](uint32_t) {
        ++calls;
        return lose;
      },
      [](const wots_c::Digits&) { return wots_c::Values(); });
  EXPECT_FALSE(r);
  EXPECT_EQ(calls, 5);
  calls = 0;
  r = ref::grind_digit_sum(
      0, 480,
      [&](uint32_t) {
        ++calls;
        return win;
      },
      [](const wots_c::Digits&) { return wots_c::Values(); });
  EXPECT_FALSE(r);
  EXPECT_EQ(calls, 0);
}

TEST(WotsC, BatchedGrindFindsTheSameCounter) {
  for (uint32_t t = 0; t < 20; ++t) {
    auto one = [&](uint32_t c) { return keccak_packed({Part(seed("grind", t)), Part(hash::be32(c))}); };
    auto many = [&](uint32_t base, size_t k, Digest* out) {
      for (size_t j = 0; j < k; ++j) out[j] = one(base + uint32_t(j));
    };
    auto values = [](const wots_c::Digits& d) { return wots_c::Values(d.size()); };
    for (uint32_t bound : {3u, 9u, 100u, 1u << 20}) {
      auto a = ref::grind_digit_sum(bound, 480, one, values);
      auto b = wots_c::grind_digit_sum_batched(bound, 480, many, values);
      ASSERT_EQ(a.has_value(), b.has_value());
      if (a) {
        EXPECT_EQ(a->counter, b->counter);
      }
    }
  }
  std::vector<uint32_t> seen;
  auto won = wots_c::lowest_winning_counter<uint32_t, 8>(
      100,
      [](uint32_t base, size_t k, uint32_t* out) {
        for (size_t j = 0; j < k; ++j) out[j] = base + uint32_t(j);
      },
      [](uint32_t v) { return v == 19; }, [&](uint32_t c) { seen.push_back(c); });
  ASSERT_TRUE(won);
  EXPECT_EQ(won->first, 19u);
  EXPECT_EQ(seen.size(), 19u);
  EXPECT_EQ(seen.front(), 1u);
  EXPECT_EQ(seen.back(), 19u);
}

TEST(Uxmss, LeavesAndRootMatchTheConstruction) {
  for (bool portable : {false, true}) {
    keccak::force_portable(portable);
    Key k = make_key(11);
    const Digest sk = seed("sk"), pk = seed("pk");
    std::vector<Digest> many(11);
    shrincs::uxmss::stateful_leaves(k.private_key().sk_seed, pk, 1, 11, many.data());
    for (uint32_t a = 1; a <= 11; ++a) {
      Digest r = ref::ux_leaf(sk, pk, a);
      EXPECT_EQ(many[a - 1], r) << a;
      EXPECT_EQ(ref::stateful_wots_pk_hash(k, pk, a), r);
    }
    EXPECT_EQ(k.root(), ref::ux_chain_node(sk, pk, 1, 11));
    auto uncached = *Key::from_bytes(k.to_bytes().span());
    EXPECT_FALSE(uncached.has_cache());
    EXPECT_EQ(shrincs::uxmss::stateful_subtree_root(uncached, pk, 1, 11), k.root());
    EXPECT_EQ(shrincs::uxmss::stateful_subtree_root(uncached, pk, 12, 11), ref::ux_tail(pk, 11));
    EXPECT_EQ(shrincs::uxmss::stateful_subtree_root(k, pk, 12, 11), ref::ux_tail(pk, 11));
    EXPECT_EQ(shrincs::uxmss::stateful_subtree_root(k, pk, 11, 11),
              ref::ux_node(pk, 11, ref::ux_leaf(sk, pk, 11), ref::ux_tail(pk, 11)));
    EXPECT_EQ(shrincs::uxmss::stateful_subtree_root(uncached, pk, 6, 11), ref::ux_chain_node(sk, pk, 6, 11));
    // Another capacity than the key's own is computed afresh.
    EXPECT_EQ(shrincs::uxmss::stateful_subtree_root(k, pk, 1, 70), ref::ux_chain_node(sk, pk, 1, 70));
  }
  keccak::force_portable(false);
}

TEST(Uxmss, CapacityOneSignsOnce) {
  Key k = make_key(1);
  const Digest sk = seed("sk"), pk = seed("pk");
  EXPECT_EQ(k.root(), ref::ux_node(pk, 1, ref::ux_leaf(sk, pk, 1), ref::ux_tail(pk, 1)));
  auto s = shrincs::uxmss::sign_stateful_raw(k, msg(0));
  ASSERT_TRUE(s);
  ASSERT_EQ(s->auth_path.size(), 1u);
  EXPECT_EQ(s->auth_path[0], ref::ux_tail(pk, 1));
  EXPECT_TRUE(shrincs::uxmss::verify_stateful_unsafe_raw(k.public_key(), msg(0), *s));
  EXPECT_EQ(k.next(), 2u);
  EXPECT_FALSE(shrincs::uxmss::sign_stateful_raw(k, msg(0)));
  EXPECT_EQ(k.next(), 2u);
}

TEST(Uxmss, SignaturesEqualTheOneAtATimeSigner) {
  Key k = make_key(3);
  const Digest sk = seed("sk"), prf = seed("prf"), pk = seed("pk");
  for (uint32_t q = 1; q <= 3; ++q) {
    auto s = shrincs::uxmss::sign_stateful_raw(k, msg(q));
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, reference_sign(sk, prf, pk, 3, q, msg(q))) << q;
    ASSERT_EQ(s->auth_path.size(), q);
    EXPECT_TRUE(shrincs::uxmss::verify_stateful_unsafe_raw(k.public_key(), msg(q), *s));
    uint32_t sum = 0;
    Digest d = keccak_packed({Part(P::UXMSS_DIGITS), Part(pk), Part(hash::be32(q)), Part(s->randomizer),
                              Part(hash::be32(s->counter)), Part(msg(q))});
    for (uint32_t i = 0; i < 64; ++i) sum += hash::ops::base_w16_digit(d, i);
    EXPECT_EQ(sum, 480u);
  }
  // Leaf 3's path is [tail, L(2), L(1)].
}

TEST(Uxmss, CachedAndUncachedKeysSignIdentically) {
  for (uint32_t cap : {1u, 2u, 3u, 4u, 8u, 13u, 16u}) {
    Key cached = make_key(cap, cap);
    Key plain = *Key::from_bytes(cached.to_bytes().span());
    for (uint32_t q = 1; q <= cap; ++q) {
      auto a = shrincs::uxmss::sign_stateful_raw(cached, msg(q));
      auto b = shrincs::uxmss::sign_stateful_raw(plain, msg(q));
      ASSERT_TRUE(a && b);
      EXPECT_EQ(*a, *b) << cap << " " << q;
      EXPECT_TRUE(shrincs::uxmss::verify_stateful_unsafe_raw(cached.public_key(), msg(q), *a));
    }
    EXPECT_EQ(cached.next(), cap + 1);
    EXPECT_FALSE(shrincs::uxmss::sign_stateful_raw(cached, msg(0)));
    EXPECT_FALSE(shrincs::uxmss::sign_stateful_raw(plain, msg(0)));
  }
}

TEST(Uxmss, RefusalsLeaveTheKeyUnchanged) {
  Key k = make_key(2);
  k.set_next(0);
  EXPECT_FALSE(shrincs::uxmss::sign_stateful_raw(k, msg(0)));
  EXPECT_EQ(k.next(), 0u);
  k.set_next(3);
  EXPECT_FALSE(shrincs::uxmss::sign_stateful_raw(k, msg(0)));
  EXPECT_EQ(k.next(), 3u);
}

TEST(Uxmss, DeterministicAndBoundToItsInputs) {
  Key k = make_key(4);
  Key saved = k;
  auto s1 = *shrincs::uxmss::sign_stateful_raw(k, msg(1));
  auto s2 = *shrincs::uxmss::sign_stateful_raw(k, msg(1));  // leaf 2
  auto again = *shrincs::uxmss::sign_stateful_raw(saved, msg(1));
  EXPECT_EQ(s1, again);
  const auto pk = k.public_key();
  EXPECT_TRUE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, msg(1), s2));
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, msg(2), s2));
  auto other_seed = pk;
  other_seed.public_seed[0] ^= 1;
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(other_seed, msg(1), s2));
  auto other_root = pk;
  other_root.root[31] ^= 1;
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(other_root, msg(1), s2));
  auto raised = pk;
  raised.capacity = 1000;
  EXPECT_TRUE(shrincs::uxmss::verify_stateful_unsafe_raw(raised, msg(1), s2));
  // Path shapes.
  auto t = s2;
  t.auth_path.pop_back();
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, msg(1), t));
  t.auth_path.clear();
  const auto m1 = msg(1);
  hash::testing::reset_permutation_count();
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, m1, t));
  EXPECT_EQ(hash::testing::permutation_count(), 0u);
  t = s2;
  t.auth_path.resize(5);
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, msg(1), t));
  t = s2;
  t.wots_values.pop_back();
  EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, msg(1), t));
  // Every field of the flat form.
  const auto flat = vt_test::encode_stateful(s2);
  ASSERT_EQ(flat.size(), 2084u + 32 * 2);
  ASSERT_EQ(*shrincs::signature::decode_stateful(flat), s2);
  for (size_t off = 0; off < flat.size(); off += 7) {
    auto bad = flat;
    bad[off] ^= 0x10;
    auto d = shrincs::signature::decode_stateful(bad);
    ASSERT_TRUE(d);
    EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(pk, msg(1), *d)) << off;
  }
  EXPECT_FALSE(shrincs::signature::decode_stateful(std::span(flat.data(), 2083)));
  EXPECT_FALSE(shrincs::signature::decode_stateful(std::span(flat.data(), 2085)));
  EXPECT_TRUE(shrincs::signature::decode_stateful(std::span(flat.data(), 2084)));
}

TEST(Uxmss, VerificationCostsFourHundredEightyStepsPlusFixedHashes) {
  Key k = make_key(3);
  k.set_next(3);
  const auto m = msg(7);
  auto s = *shrincs::uxmss::sign_stateful_raw(k, m);
  hash::testing::reset_permutation_count();
  ASSERT_TRUE(shrincs::uxmss::verify_stateful_unsafe_raw(k.public_key(), m, s));
  // digest (1 block) + 480 steps + leaf (16 blocks) + 3 nodes; the counter
  // also counts idle lanes of the last few multi-lane steps.
  EXPECT_GE(hash::testing::permutation_count(), 1u + 480 + 16 + 3);
  EXPECT_LE(hash::testing::permutation_count(), 1u + 480 + 16 + 3 + 40);
}

TEST(Uxmss, ByteForms) {
  Key k = make_key(5);
  auto b = k.to_bytes();
  EXPECT_EQ(hash::get_be32(b.data() + 128), 5u);
  EXPECT_EQ(hash::get_be32(b.data() + 132), 1u);
  EXPECT_FALSE(Key::from_bytes(std::span(b.data(), 135)));
  // The stateful public key: public seed || root || BE32 capacity.
  auto pkb = k.public_key().to_bytes();
  std::vector<uint8_t> expected(k.public_seed().begin(), k.public_seed().end());
  expected.insert(expected.end(), k.root().begin(), k.root().end());
  expected.insert(expected.end(), {0, 0, 0, 5});
  EXPECT_EQ(std::vector<uint8_t>(pkb.begin(), pkb.end()), expected);
  EXPECT_EQ(hash::get_be32(pkb.data() + 64), 5u);
}

}  // namespace
