#include <gtest/gtest.h>

#include <functional>

#include "fixture.hpp"
#include "hash_engine/engine.hpp"
#include "hash_engine/hash/testing.hpp"
#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/verifier.hpp"
#include "hash_engine/sphincs_plus_c/hypertree.hpp"
#include "reference.hpp"
#include "vectors.hpp"

namespace {

using fixture::seed;
using hash::Digest;
using hash::Part;
using shrincs::dispatch::CheckedKey;
using shrincs::dispatch::Path;
using shrincs::key::Keys;
using shrincs::verifier::ShrincsVerifier;
using P = profiles::p256s::Profile256s;

std::vector<uint8_t> bytes_of(const Keys& k) {
  auto b = k.to_bytes();
  return std::vector<uint8_t>(b.data(), b.data() + b.size());
}

// One stateful signature of the stateful action message hash, as a caller
// of the engine makes it.
shrincs::signature::Signature sign_action(Keys& k, const shrincs::ShrincsAction& a) {
  const Digest m = shrincs::dispatch::action_message_hash(Path::Stateful, k.commitment, a);
  auto s = shrincs::uxmss::sign_stateful_raw(k.stateful, m);
  EXPECT_TRUE(s);
  return *s;
}

TEST(ShrincsKeys, CommitmentAndByteForms) {
  Keys k = fixture::small_keys();
  const auto pk = k.public_key();
  const auto bundle = pk.to_bundle();
  ASSERT_EQ(bundle.size(), 164u);
  EXPECT_EQ(hash::get_be32(bundle.data() + 64), 3u);
  const Digest c = hash::ops::keccak_packed({Part(std::string_view("shrincs-public-key/")),
                                             Part(std::string_view("shrincs-256s-keccak")), Part(bundle.data(), 68),
                                             Part(bundle.data() + 100, 64)});
  EXPECT_EQ(k.commitment, c);
  EXPECT_EQ(*pk.commitment(), c);
  EXPECT_EQ(shrincs::key::compute_commitment(std::span(bundle.data(), 68),
                                             std::span<const uint8_t, 32>(bundle.data() + 100, 32),
                                             std::span<const uint8_t, 32>(bundle.data() + 132, 32)),
            c);
  EXPECT_EQ(k.stateless.root,
            sphincs_plus_c::hypertree::hypertree_public_root(k.stateless.priv.sk_seed, k.stateless.public_seed));
  EXPECT_EQ(k.stateful.root(), ref::ux_chain_node(seed("ux-sk"), seed("ux-pk"), 1, 3));
  // Every byte but the carried commitment field moves the commitment.
  for (size_t i = 0; i < 164; ++i) {
    auto b = bundle;
    b[i] ^= 0x80;
    auto p2 = *shrincs::key::PublicKey::from_bundle(b);
    if (i >= 68 && i < 100)
      EXPECT_EQ(*p2.commitment(), c) << i;
    else
      EXPECT_NE(*p2.commitment(), c) << i;
  }
  auto bad = pk;
  bad.hypertree_root.pop_back();
  EXPECT_FALSE(bad.commitment());
  EXPECT_FALSE(shrincs::key::PublicKey::from_bundle(std::span(bundle.data(), 163)));
  // Layout of the 264 bytes.
  const auto kb = bytes_of(k);
  EXPECT_EQ(std::vector<uint8_t>(kb.begin() + 64, kb.begin() + 96),
            std::vector<uint8_t>(bundle.begin(), bundle.begin() + 32));
  EXPECT_EQ(hash::get_be32(kb.data() + 128), 3u);
  EXPECT_EQ(hash::get_be32(kb.data() + 132), 1u);
  EXPECT_EQ(std::vector<uint8_t>(kb.begin() + 200, kb.end()), std::vector<uint8_t>(bundle.begin() + 100, bundle.end()));
  EXPECT_FALSE(Keys::generate(hash::SecretSeed(), hash::SecretSeed(), Digest{}, hash::SecretSeed(), hash::SecretSeed(),
                              Digest{}, 0));
  EXPECT_FALSE(Keys::generate(hash::SecretSeed(), hash::SecretSeed(), Digest{}, hash::SecretSeed(), hash::SecretSeed(),
                              Digest{}, 4097));
}

TEST(ShrincsKeys, ImportRefusals) {
  Keys k = fixture::small_keys(2, 5);
  const auto good = bytes_of(k);
  auto imported = Keys::import(good);
  ASSERT_TRUE(imported);
  EXPECT_EQ(bytes_of(*imported), good);
  EXPECT_EQ(imported->commitment, k.commitment);
  EXPECT_TRUE(imported->stateful.has_cache());
  EXPECT_FALSE(Keys::import(std::span(good.data(), 263)));
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(Keys::import(longer));
  auto with = [&](size_t off, uint32_t v) {
    auto b = good;
    hash::put_be32(b.data() + off, v);
    return b;
  };
  // Capacity and next are refused before any root is computed.
  for (uint32_t cap : {0u, 4097u}) {
    hash::testing::reset_permutation_count();
    EXPECT_FALSE(Keys::import(with(128, cap))) << cap;
    EXPECT_EQ(hash::testing::permutation_count(), 2u);  // the commitment only
  }
  EXPECT_FALSE(Keys::import(with(132, 0)));
  EXPECT_FALSE(Keys::import(with(132, 4)));
  EXPECT_TRUE(Keys::import(with(132, 3)));  // exhausted keys import
  EXPECT_TRUE(Keys::import(with(132, 2)));  // the counter is not guarded here
  // A changed byte of a root, a secret seed, a public seed or the capacity.
  for (size_t off : {96, 127, 0, 31, 64, 95, 131, 136, 167, 200, 231, 232, 263}) {
    auto b = good;
    b[off] ^= 0x01;
    EXPECT_FALSE(Keys::import(b)) << off;
  }
  // The PRF keys enter neither root.
  for (size_t off : {32, 168}) {
    auto b = good;
    b[off] ^= 0x01;
    EXPECT_TRUE(Keys::import(b)) << off;
  }
}

TEST(ShrincsDispatch, StatefulPathAndItsChecks) {
  Keys k = fixture::small_keys(3, 7);
  const auto pk = k.public_key();
  const auto c = k.commitment;
  const auto key = CheckedKey::check(c, pk);
  ASSERT_TRUE(key);
  for (uint32_t q = 1; q <= 3; ++q) {
    const auto a = fixture::action(q);
    auto sig = sign_action(k, a);
    EXPECT_EQ(sig.auth_path.size(), q);
    EXPECT_TRUE(ShrincsVerifier::verify_stateful(*key, a, sig));
    EXPECT_FALSE(ShrincsVerifier::verify_stateful(*key, fixture::action(q + 10), sig));
    // A signature over the raw action hash with the other label fails.
    const auto spk = shrincs::uxmss::StructuredPublicKey::from_bytes(pk.stateful_public_key);
    ASSERT_TRUE(spk);
    EXPECT_FALSE(shrincs::uxmss::verify_stateful_unsafe_raw(
        *spk, shrincs::dispatch::action_message_hash(Path::Stateless, c, a), sig));
    if (q != 2) continue;
    // Words 1 and 2 may be anything; 0, 3 and 4 must not be zero, refused before hashing.
    for (size_t w : {0, 3, 4}) {
      auto z = a;
      z.words[w] = Digest{};
      hash::testing::reset_permutation_count();
      EXPECT_FALSE(ShrincsVerifier::verify_stateful(*key, z, sig));
      EXPECT_EQ(hash::testing::permutation_count(), 0u);
    }
  }
}

// The commitment check that both paths run first: only a key whose carried
// and recomputed commitments equal a non-zero expected one, with a 68-byte
// stateful public key, passes.
TEST(ShrincsDispatch, CommitmentCheckBeforeEitherPath) {
  const Keys k = fixture::small_keys(3, 7);
  const auto pk = k.public_key();
  const Digest c = k.commitment;
  Digest other = c;
  other[5] ^= 1;
  struct Case {
    const char* what;
    Digest expected;
    std::function<void(shrincs::key::PublicKey&)> alter;
  };
  const std::vector<Case> cases = {
      {"zero commitment with a zero field", Digest{}, [](auto& p) { p.carried_commitment.assign(32, 0); }},
      {"another expected commitment", other, [](auto&) {}},
      {"carried field equal to the other one", other,
       [&](auto& p) { p.carried_commitment.assign(other.begin(), other.end()); }},
      {"short stateful public key", c, [](auto& p) { p.stateful_public_key.pop_back(); }},
      {"changed capacity", c, [](auto& p) { p.stateful_public_key[66] ^= 1; }},
      {"short carried field", c, [](auto& p) { p.carried_commitment.pop_back(); }},
      {"changed hypertree root", c, [](auto& p) { p.hypertree_root[3] ^= 1; }},
      {"changed stateless seed", c, [](auto& p) { p.stateless_public_seed[0] ^= 1; }},
  };
  EXPECT_TRUE(CheckedKey::check(c, pk));
  for (const auto& t : cases) {
    auto p2 = pk;
    t.alter(p2);
    EXPECT_FALSE(CheckedKey::check(t.expected, p2)) << t.what;
  }
}

void StatelessPathAndItsChecks() {
  const auto& s = fixture::signed_once();
  const auto pk = s.keys.public_key();
  const auto c = s.keys.commitment;
  const auto key = CheckedKey::check(c, pk);
  ASSERT_TRUE(key);
  EXPECT_TRUE(ShrincsVerifier::verify_stateless(*key, s.action, s.sig));
  EXPECT_FALSE(ShrincsVerifier::verify_stateless(*key, fixture::action(1), s.sig));
  auto w12 = s.action;
  w12.words[1][0] = 1;
  EXPECT_FALSE(ShrincsVerifier::verify_stateless(*key, w12, s.sig));
  for (size_t w : {0, 3, 4}) {
    auto z = s.action;
    z.words[w] = Digest{};
    hash::testing::reset_permutation_count();
    EXPECT_FALSE(ShrincsVerifier::verify_stateless(*key, z, s.sig));
    EXPECT_EQ(hash::testing::permutation_count(), 0u);
  }
  EXPECT_NE(shrincs::dispatch::action_message_hash(Path::Stateful, c, s.action),
            shrincs::dispatch::action_message_hash(Path::Stateless, c, s.action));
  // A stateful signature does not pass as a stateless one of the same key and the reverse.
  Keys k = s.keys;
  auto st = sign_action(k, s.action);
  EXPECT_TRUE(ShrincsVerifier::verify_stateful(*key, s.action, st));
}

// The one full-size key of the suite: generation, validating import, and
// signatures at the first and the last of 4096 leaves.
TEST(ShrincsKeys, FullCapacityKey) {
  Keys k = fixture::small_keys(4096, 9);
  const auto b = bytes_of(k);
  auto imported = Keys::import(b);
  ASSERT_TRUE(imported);
  EXPECT_EQ(bytes_of(*imported), b);
  const auto pk = imported->public_key();
  EXPECT_EQ(hash::get_be32(pk.stateful_public_key.data() + 64), 4096u);
  const auto a = fixture::action(3);
  auto first = sign_action(*imported, a);
  EXPECT_EQ(first.auth_path.size(), 1u);
  const auto key = CheckedKey::check(k.commitment, pk);
  ASSERT_TRUE(key);
  EXPECT_TRUE(ShrincsVerifier::verify_stateful(*key, a, first));
  imported->stateful.set_next(4096);
  auto last = sign_action(*imported, a);
  EXPECT_EQ(last.auth_path.size(), 4096u);
  EXPECT_EQ(last.auth_path[0], ref::ux_tail(seed("ux-pk", 9), 4096));
  EXPECT_TRUE(ShrincsVerifier::verify_stateful(*key, a, last));
  EXPECT_EQ(imported->stateful.next(), 4097u);
  EXPECT_FALSE(shrincs::uxmss::sign_stateful_raw(imported->stateful, a.words[4]));
}

}  // namespace

void check_stateless_dispatch() { StatelessPathAndItsChecks(); }
