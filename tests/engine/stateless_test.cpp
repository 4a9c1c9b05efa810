#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine_codecs.hpp"
#include "fixture.hpp"
#include "hash_engine/shrincs/signer.hpp"
#include "hash_engine/sphincs_plus_c/sphincs.hpp"
#include "hash_engine/trace_macros.hpp"
#include "hash_engine/treehash.hpp"
#include "keccak/keccak.hpp"
#include "reference.hpp"
#include "vectors.hpp"

namespace {

using hash::Digest;
using hash::Part;
using hash::ops::keccak_packed;
using P = profiles::p256s::Profile256s;
namespace fc = sphincs_plus_c::fors_c;
namespace ht = sphincs_plus_c::hypertree;

Digest seed(const char* s, uint32_t i = 0) { return keccak_packed({Part(std::string_view(s)), Part(hash::be32(i))}); }

Digest index_leaf(uint32_t i) {
  Digest d{};
  hash::put_be32(d.data(), i);
  return d;
}
Digest toy_node(uint32_t k, uint32_t j, const Digest& l, const Digest& r) {
  return keccak_packed({Part(hash::be32(k)), Part(hash::be32(j)), Part(l), Part(r)});
}
Digest toy_subtree(uint32_t k, uint32_t j) {
  if (k == 0) return index_leaf(j);
  return toy_node(k, j, toy_subtree(k - 1, 2 * j), toy_subtree(k - 1, 2 * j + 1));
}

TEST(Treehash, PathsRootsAndClimbs) {
  for (uint32_t x : {0u, 1u, 128u, 255u}) {
    auto [root, path] = ref::treehash_root_and_auth_path(8, x, index_leaf, toy_node);
    EXPECT_EQ(root, toy_subtree(8, 0));
    ASSERT_EQ(path.size(), 8u);
    for (uint32_t k = 0; k < 8; ++k) EXPECT_EQ(path[k], toy_subtree(k, (x >> k) ^ 1)) << x << " " << k;
  }
  std::vector<Digest> leaves;
  for (uint32_t i = 0; i < 256; ++i) leaves.push_back(index_leaf(i));
  for (uint32_t x = 0; x < 256; ++x) {
    auto one = ref::treehash_root_and_auth_path(8, x, index_leaf, toy_node);
    auto lv =
        treehash::root_and_auth_path_by_levels(8, x, leaves, [](uint32_t k, size_t n, const Digest* c, Digest* o) {
          for (size_t j = 0; j < n; ++j) o[j] = toy_node(k, uint32_t(j), c[2 * j], c[2 * j + 1]);
        });
    ASSERT_EQ(one, lv) << x;
    auto climbed = ref::root_from_auth_path(8, x, index_leaf(x), one.second, toy_node);
    ASSERT_TRUE(climbed);
    EXPECT_EQ(*climbed, one.first);
  }
  auto zero = ref::treehash_root_and_auth_path(0, 0, index_leaf, toy_node);
  EXPECT_EQ(zero.first, index_leaf(0));
  EXPECT_TRUE(zero.second.empty());
  auto h14 = ref::treehash_root_and_auth_path(14, 5, index_leaf, toy_node);
  std::vector<Digest> short_path(h14.second.begin(), h14.second.end() - 1);
  EXPECT_FALSE(ref::root_from_auth_path(14, 5, index_leaf(5), short_path, toy_node));
  auto long_path = h14.second;
  long_path.push_back(Digest{});
  EXPECT_EQ(ref::root_from_auth_path(14, 5, index_leaf(5), long_path, toy_node), h14.first);
}

TEST(ForsC, DigestBitLayout) {
  std::array<uint8_t, 64> d;
  d.fill(0);
  std::fill(d.begin(), d.begin() + 47, 0xff);
  auto s = fc::read_fors_digest(d);
  for (uint32_t v : s.indices) EXPECT_EQ(v, 16383u);
  EXPECT_EQ(s.tree_index, (uint64_t(1) << 56) - 1);
  EXPECT_EQ(s.leaf_index, 255u);
  EXPECT_FALSE(s.wins);
  std::fill(d.begin() + 47, d.end(), 0x5a);
  auto s2 = fc::read_fors_digest(d);
  EXPECT_EQ(s2.tree_index, s.tree_index);
  std::fill(d.begin(), d.end(), 0);
  d[36] = 0x03;  // bits 294..307 are the 22nd index: bits 294, 295 live in byte 36
  EXPECT_FALSE(fc::read_fors_digest(d).wins);
  d[36] = 0;
  EXPECT_TRUE(fc::read_fors_digest(d).wins);
}

TEST(ForsC, TreeMatchesTheSinglePassConstruction) {
  sphincs_plus_c::key::Key k;
  k.priv.sk_seed = hash::SecretSeed(seed("fors-sk"));
  k.public_seed = seed("fors-pk");
  const uint64_t T = 0x00a1b2c3d4e5f607ULL;
  const uint32_t L = 0x5c, t = 3, x = 9999;
  Digest revealed;
  auto batched = fc::fors_tree_root_and_auth_path(k, T, L, t, x, revealed);
  auto single = ref::treehash_root_and_auth_path(
      14, x, [&](uint32_t i) { return ref::fors_leaf_hash(k.public_seed, k.priv.sk_seed, T, L, t, i); },
      [&](uint32_t kk, uint32_t j, const Digest& a, const Digest& b) {
        return ref::fors_node_hash(k.public_seed, T, L, t, kk, j, a, b);
      });
  EXPECT_EQ(batched, single);
  const auto a = ref::fors_address_word(T, L, 0, (t << 14) + x);
  EXPECT_EQ(revealed, keccak_packed({Part(P::FORS_SK), Part(k.priv.sk_seed.array()), Part(k.public_seed), Part(a)}));
  // The first node of tree t carries the global index t·2^13.
  Digest l0 = ref::fors_leaf_hash(k.public_seed, k.priv.sk_seed, T, L, t, 0);
  Digest l1 = ref::fors_leaf_hash(k.public_seed, k.priv.sk_seed, T, L, t, 1);
  EXPECT_EQ(ref::fors_node_hash(k.public_seed, T, L, t, 1, 0, l0, l1),
            keccak_packed({Part(P::FORS_NODE), Part(k.public_seed), Part(ref::fors_address_word(T, L, 1, t << 13)),
                           Part(l0), Part(l1)}));
}

TEST(Hypertree, LeavesAndSubtreeMatchTheConstruction) {
  const Digest pk = seed("ht-pk");
  const hash::SecretSeed ls(seed("ht-layer"));
  std::vector<Digest> leaves(11);
  ht::hypertree_leaves(pk, ls, 2, 0x1234, 240, 11, leaves.data());
  for (uint32_t i = 0; i < 11; ++i) EXPECT_EQ(leaves[i], ref::ht_leaf(pk, ls.array(), 2, 0x1234, 240 + i)) << i;
  // A leaf is the compression of its 64 chain ends under the public seed.
  const auto e = ref::ht_chain_ends(pk, ls.array(), 2, 0x1234, 241);
  EXPECT_EQ(keccak_packed({Part(P::WOTS_C_PK), Part(pk), Part(e.data(), e.size())}), leaves[1]);
  Digest leaf_x;
  auto batched = ht::hypertree_subtree(pk, ls, 5, 77, 200, leaf_x);
  EXPECT_EQ(leaf_x, ref::ht_leaf(pk, ls.array(), 5, 77, 200));
  std::vector<Digest> all(256);
  ht::hypertree_leaves(pk, ls, 5, 77, 0, 256, all.data());
  auto single = ref::treehash_root_and_auth_path(
      8, 200, [&](uint32_t i) { return all[i]; },
      [&](uint32_t k, uint32_t j, const Digest& a, const Digest& b) {
        return ref::hypertree_node_hash(pk, 5, 77, k, j, a, b);
      });
  EXPECT_EQ(batched, single);
  const auto seeds = ht::hypertree_layer_seeds(hash::SecretSeed(seed("s")));
  uint8_t three = 3;
  EXPECT_EQ(seeds[3].array(), keccak_packed({Part(P::HT_LAYER_SEED), Part(seed("s")), Part(&three, 1)}));
}

using fixture::signed_once;

void SignsAndVerifies() {
  const auto& s = signed_once();
  EXPECT_TRUE(s.trace.empty());
  EXPECT_TRUE(sphincs_plus_c::verify_raw(s.key.public_seed, s.key.root, s.msg, s.sig));
  EXPECT_FALSE(sphincs_plus_c::verify_raw(s.key.public_seed, s.key.root, seed("other"), s.sig));
  Digest other_root = s.key.root;
  other_root[0] ^= 1;
  EXPECT_FALSE(sphincs_plus_c::verify_raw(s.key.public_seed, other_root, s.msg, s.sig));
  // 21 × 15 + 8 × 74 values, the FORS randomizer, 9 counters: 29092 bytes.
  const auto flat = vt_test::encode_flat(s.sig);
  ASSERT_EQ(flat.size(), 29092u);
  EXPECT_EQ(*sphincs_plus_c::signature::decode_flat(flat), s.sig);
  std::vector<uint8_t> small(29091);
  EXPECT_FALSE(sphincs_plus_c::signature::write_flat(s.sig, small));
  EXPECT_FALSE(sphincs_plus_c::signature::decode_flat(std::span(flat.data(), 29091)));
  auto longer = flat;
  longer.push_back(0);
  EXPECT_FALSE(sphincs_plus_c::signature::decode_flat(longer));
}

void PositionsFollowTheForsDigest() {
  const auto& s = signed_once();
  auto d = fc::signer_fors_digest(s.key.public_seed, s.key.root, s.msg, s.sig.fors.randomizer, s.sig.fors.counter);
  ASSERT_TRUE(d.wins);
  // The lowest winner: every smaller counter loses.
  for (uint32_t c = 0; c < s.sig.fors.counter; ++c)
    ASSERT_FALSE(fc::signer_fors_digest(s.key.public_seed, s.key.root, s.msg, s.sig.fors.randomizer, c).wins) << c;
  EXPECT_EQ(s.sig.fors.randomizer,
            keccak_packed({Part(P::FORS_RANDOMIZER), Part(s.key.priv.prf_key.array()), Part(s.msg)}));
  // Layer 7 signs leaf T_0 >> 48 of tree 0, its carried leaf is that leaf.
  const auto seeds = ht::hypertree_layer_seeds(s.key.priv.sk_seed);
  const auto leaf = [&](uint32_t layer, uint64_t tree, uint32_t x) {
    Digest out;
    ht::hypertree_leaves(s.key.public_seed, seeds[layer], layer, tree, x, 1, &out);
    return out;
  };
  EXPECT_EQ(s.sig.layers[7].leaf, leaf(7, 0, uint32_t(d.tree_index >> 48) & 0xff));
  EXPECT_EQ(s.sig.layers[1].leaf, leaf(1, d.tree_index >> 8, uint32_t(d.tree_index & 0xff)));
}

void RefusesMalformedAndTamperedSignatures() {
  const auto& s = signed_once();
  auto check = [&](const sphincs_plus_c::signature::Signature& t) {
    return sphincs_plus_c::verify_raw(s.key.public_seed, s.key.root, s.msg, t);
  };
  auto t = s.sig;
  t.layers.clear();
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.layers.pop_back();
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.layers.push_back(t.layers.back());
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.layers[3].auth_path.pop_back();
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.layers[3].wots_values.pop_back();
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.fors.entries.pop_back();
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.fors.entries.push_back(t.fors.entries.back());
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.fors.entries[4].auth_path.pop_back();
  EXPECT_FALSE(check(t));
  t = s.sig;
  t.fors.entries[4].auth_path.push_back(Digest{});
  EXPECT_FALSE(check(t));
  // Bytes spread over every field of the flat form: randomizers, counters,
  // secrets, nodes, carried leaves and chain values.
  const auto flat = vt_test::encode_flat(s.sig);
  std::vector<size_t> offsets = {0, 31, 32, 35};
  for (size_t off = 36; off < flat.size(); off += 173) offsets.push_back(off);
  for (size_t layer = 0; layer < 8; ++layer) {
    const size_t base = 10116 + layer * 2372;
    for (size_t o : {0, 40, 64, 67, 68, 2116, 2371}) offsets.push_back(base + o);
  }
  for (size_t off : offsets) {
    auto bad = flat;
    bad[off] ^= 0x01;
    auto d = sphincs_plus_c::signature::decode_flat(bad);
    ASSERT_TRUE(d);
    EXPECT_FALSE(check(*d)) << off;
  }
}

TEST(Trace, EnvironmentRules) {
  struct Case {
    const char* v;
    bool on;
  } cases[] = {{"1", true},   {"on", true},          {"yes", true}, {"true", true}, {"TRUE", false},
               {"1 ", false}, {"yes please", false}, {"", false},   {"0", false},   {"\xff", false}};
  for (auto& c : cases) {
    setenv("SHRINCS_TRACE_STATELESS", c.v, 1);
    EXPECT_EQ(trace_macros::stateless_trace_enabled(), c.on) << c.v;
  }
  unsetenv("SHRINCS_TRACE_STATELESS");
  EXPECT_FALSE(trace_macros::stateless_trace_enabled());
  struct Every {
    const char* v;
    uint32_t n;
  } every[] = {{"1", 1},
               {"0", 1u << 20},
               {"-5", 1u << 20},
               {"abc", 1u << 20},
               {"4294967296", 1u << 20},
               {"", 1u << 20},
               {"+", 1u << 20},
               {"+7", 7},
               {"+0010", 10},
               {"4294967295", 4294967295u},
               {" 5", 1u << 20},
               {"5 ", 1u << 20},
               {"++5", 1u << 20},
               {"99999999999999999999", 1u << 20}};
  for (auto& e : every) {
    setenv("SHRINCS_TRACE_COUNTER_EVERY", e.v, 1);
    EXPECT_EQ(trace_macros::stateless_trace_counter_every(), e.n) << e.v;
  }
  unsetenv("SHRINCS_TRACE_COUNTER_EVERY");
  EXPECT_EQ(trace_macros::stateless_trace_counter_every(), 1u << 20);
}

std::vector<std::string> lines_of(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

void CounterSearchProgressLines() {
  const auto& s = signed_once();
  const uint32_t winner = s.sig.fors.counter;
  setenv("SHRINCS_TRACE_STATELESS", "on", 1);
  for (uint32_t every : {1u, 7u}) {
    setenv("SHRINCS_TRACE_COUNTER_EVERY", std::to_string(every).c_str(), 1);
    testing::internal::CaptureStdout();
    auto won = fc::winning_fors_counter_and_digest(s.key, s.msg, s.sig.fors.randomizer);
    auto lines = lines_of(testing::internal::GetCapturedStdout());
    ASSERT_TRUE(won);
    EXPECT_EQ(won->first, winner);
    ASSERT_EQ(lines.size(), 2 + winner / every);
    EXPECT_EQ(lines.front(), "stateless trace: FORS counter search start limit=16777216");
    for (uint32_t i = 1; i <= winner / every; ++i)
      EXPECT_EQ(lines[i], "stateless trace: FORS counter search tried=" + std::to_string(i * every) + "/16777216");
    EXPECT_EQ(lines.back(), "stateless trace: FORS counter search success counter=" + std::to_string(winner));
  }
  // A search that runs out of counters.
  setenv("SHRINCS_TRACE_COUNTER_EVERY", "+0004", 1);
  testing::internal::CaptureStdout();
  auto none = fc::winning_fors_counter_and_digest_below(winner, s.key, s.msg, s.sig.fors.randomizer);
  auto lines = lines_of(testing::internal::GetCapturedStdout());
  EXPECT_FALSE(none);
  ASSERT_EQ(lines.size(), 2 + (winner - 1) / 4);
  EXPECT_EQ(lines.front(), "stateless trace: FORS counter search start limit=" + std::to_string(winner));
  EXPECT_EQ(lines[1], "stateless trace: FORS counter search tried=4/" + std::to_string(winner));
  EXPECT_EQ(lines.back(), "stateless trace: FORS counter search exhausted limit=" + std::to_string(winner));
  EXPECT_FALSE(fc::winning_fors_counter_and_digest_below(0, s.key, s.msg, s.sig.fors.randomizer));
  setenv("SHRINCS_TRACE_STATELESS", "off", 1);
  setenv("SHRINCS_TRACE_COUNTER_EVERY", "1", 1);
  testing::internal::CaptureStdout();
  fc::winning_fors_counter_and_digest(s.key, s.msg, s.sig.fors.randomizer);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  unsetenv("SHRINCS_TRACE_STATELESS");
  unsetenv("SHRINCS_TRACE_COUNTER_EVERY");
}

void FullSignatureWritesNineteenLinesAndTheSameSignature() {
  const auto& s = signed_once();
  setenv("SHRINCS_TRACE_STATELESS", "on", 1);
  testing::internal::CaptureStdout();
  auto sig = shrincs::signer::ShrincsSigner::sign_stateless_raw(s.key, s.msg);
  auto lines = lines_of(testing::internal::GetCapturedStdout());
  unsetenv("SHRINCS_TRACE_STATELESS");
  ASSERT_TRUE(sig);
  EXPECT_EQ(*sig, s.sig);  // deterministic, and the trace changes nothing
  auto d = fc::signer_fors_digest(s.key.public_seed, s.key.root, s.msg, s.sig.fors.randomizer, s.sig.fors.counter);
  const std::string c = std::to_string(s.sig.fors.counter);
  std::vector<std::string> want = {"signer start message_len=32",
                                   "FORS start message_len=32 signed_trees=21 max_counter=16777216",
                                   "FORS randomizer ready",
                                   "FORS counter search start limit=16777216",
                                   "FORS counter search success counter=" + c,
                                   "FORS winner counter=" + c + " tree_index=" + std::to_string(d.tree_index) +
                                       " leaf_index=" + std::to_string(d.leaf_index),
                                   "FORS materializing tree 1/21",
                                   "FORS materializing tree 21/21",
                                   "hypertree start bottom_tree=" + std::to_string(d.tree_index) +
                                       " bottom_leaf=" + std::to_string(d.leaf_index) + " layers=8"};
  uint64_t t = d.tree_index;
  uint32_t x = d.leaf_index;
  for (int l = 0; l < 8; ++l) {
    want.push_back("hypertree layer=" + std::to_string(l) + " tree=" + std::to_string(t) +
                   " leaf=" + std::to_string(x));
    x = uint32_t(t & 0xff);
    t >>= 8;
  }
  want.push_back("hypertree complete");
  want.push_back("signer done");
  ASSERT_EQ(lines.size(), 19u);
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(lines[i], "stateless trace: " + want[i]);
}

}  // namespace

void check_stateless_dispatch();

// Every check that needs the shared few-time signature runs in this one test,
// so the signature is made once per test process.
TEST(SphincsC, FewTimeSignature) {
  for (auto* f :
       {SignsAndVerifies, PositionsFollowTheForsDigest, RefusesMalformedAndTamperedSignatures,
        CounterSearchProgressLines, FullSignatureWritesNineteenLinesAndTheSameSignature, check_stateless_dispatch}) {
    f();
    if (testing::Test::HasFatalFailure()) return;
  }
}
