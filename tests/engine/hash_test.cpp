#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fault/fault.hpp"
#include "hash/lanes.hpp"
#include "hash_engine/hash/address.hpp"
#include "hash_engine/hash/ops.hpp"
#include "hash_engine/hash/testing.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "keccak/keccak.hpp"
#include "reference.hpp"
#include "vectors.hpp"

namespace {

using hash::Digest;
using hash::Part;
using hash::ops::keccak_packed;
using P = profiles::p256s::Profile256s;

std::string hex(const Digest& d) { return vt_test::to_hex_c(d); }

TEST(EngineHash, KnownAnswers) {
  EXPECT_EQ(hex(keccak_packed({})), "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470");
  EXPECT_EQ(hex(keccak_packed({Part(std::string_view("abc"))})),
            "4e03657aea45a94fc7d47ba826c8d667c0d1e6e33a64a036ec44f58fa12d6c45");
  // Keccak padding, not SHA3-256's.
  auto s3 = keccak::sha3_256(reinterpret_cast<const uint8_t*>("abc"), 3);
  EXPECT_NE(hex(keccak_packed({Part(std::string_view("abc"))})), vt_test::to_hex_c(s3));
}

TEST(EngineHash, SplitIntoPartsNeverChangesTheDigest) {
  const Digest abc = keccak_packed({Part(std::string_view("abc"))});
  EXPECT_EQ(keccak_packed({Part(std::string_view("ab")), Part(std::string_view("c"))}), abc);
  EXPECT_EQ(keccak_packed({Part(std::string_view("")), Part(std::string_view("abc")), Part(std::string_view(""))}),
            abc);
  // Every length around the block edges, split at several points, against
  // the Keccak primitive's own one-shot Keccak-256.
  for (size_t len : {0, 1, 31, 134, 135, 136, 137, 271, 272, 273, 500, 2097}) {
    auto in = vt_test::pseudo_random_bytes(len + 7, len);
    auto ref = keccak::keccak256(in.data(), in.size());
    for (size_t a = 0; a <= len; a += (len / 5 + 1)) {
      for (size_t b = a; b <= len; b += (len / 3 + 1)) {
        Digest d = keccak_packed({Part(in.data(), a), Part(in.data() + a, b - a), Part(in.data() + b, len - b)});
        ASSERT_EQ(hex(d), vt_test::to_hex_c(ref)) << len << " " << a << " " << b;
      }
    }
  }
}

TEST(EngineHash, PaddingAtTheBlockEdge) {
  // 135 bytes: one permutation with the padding byte 0x81.
  std::vector<uint8_t> m(135, 0x5a);
  keccak::State st{};
  auto* b = reinterpret_cast<uint8_t*>(st.data());
  for (size_t i = 0; i < 135; ++i) b[i] = m[i];
  b[135] = 0x81;
  keccak::permute(st);
  hash::testing::reset_permutation_count();
  Digest d = keccak_packed({Part(m.data(), m.size())});
  EXPECT_EQ(hash::testing::permutation_count(), 1u);
  EXPECT_EQ(0, std::memcmp(d.data(), b, 32));
  // 136 bytes: a full block, then 0x01, 134 zero bytes and 0x80.
  m.push_back(0x5a);
  st.fill(0);
  for (size_t i = 0; i < 136; ++i) b[i] = m[i];
  keccak::permute(st);
  b[0] ^= 0x01;
  b[135] ^= 0x80;
  keccak::permute(st);
  hash::testing::reset_permutation_count();
  d = keccak_packed({Part(m.data(), m.size())});
  EXPECT_EQ(hash::testing::permutation_count(), 2u);
  EXPECT_EQ(0, std::memcmp(d.data(), b, 32));
}

// The one-block entry point, alone and on 4 and 8 lanes with spare lanes,
// against the part-list hash; one counted permutation per lane.
TEST(EngineHash, OneBlockHashIsTheSameFunction) {
  for (size_t len : {0, 1, 7, 8, 100, 121, 134, 135}) {
    auto in = vt_test::pseudo_random_bytes(9 + len, len);
    const Digest want = keccak_packed({Part(in.data(), len)});
    hash::testing::reset_permutation_count();
    const Digest one = hash::lanes::hash_block(len, [&](uint8_t* dst) { std::copy(in.begin(), in.end(), dst); });
    EXPECT_EQ(hash::testing::permutation_count(), 1u);
    EXPECT_EQ(one, want) << len;
    for (size_t n : {2, 5}) {
      const size_t width = keccak::lane_width(n);
      alignas(64) uint64_t lanes[25 * 8] = {};
      for (size_t k = 0; k < n; ++k)
        for (size_t i = 0; i < len; ++i) lanes[(i / 8) * width + k] |= uint64_t{in[i]} << (8 * (i % 8));
      EXPECT_EQ(keccak::keccak256_blocks(lanes, width, n, len).lanes(), width);
      for (size_t k = 0; k < n; ++k) {
        Digest d;
        keccak::lane_digest(lanes, width, k, d.data());
        EXPECT_EQ(d, want) << len << " " << n << " " << k;
      }
    }
  }
}

TEST(EngineHash, MultiLaneHashingMatchesOneAtATime) {
  for (bool portable : {false, true}) {
    keccak::force_portable(portable);
    for (size_t len : {49, 95, 108, 135, 137, 142, 179, 2089, 2097}) {
      for (size_t n : {1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17}) {
        std::vector<std::vector<uint8_t>> in;
        for (size_t i = 0; i < n; ++i) in.push_back(vt_test::pseudo_random_bytes(1000 * len + i, len));
        std::vector<Digest> got(n);
        if (len <= 512) {
          hash::lanes::hash_many(
              n, len, [&](size_t i, uint8_t* dst) { std::memcpy(dst, in[i].data(), len); },
              [&](size_t i, const uint8_t* d) { std::memcpy(got[i].data(), d, 32); });
        } else {
          std::vector<const uint8_t*> ptrs;
          for (auto& v : in) ptrs.push_back(v.data());
          hash::lanes::hash_ptrs(n, len, ptrs.data(), got.data());
        }
        for (size_t i = 0; i < n; ++i)
          ASSERT_EQ(got[i], keccak_packed({Part(in[i].data(), len)})) << len << " " << n << " " << i;
      }
    }
  }
  keccak::force_portable(false);
}

// Each permutation is counted against the kernel that ran it: one-block
// inputs go eight at a time, a group of five to eight on the 8-lane kernel,
// two to four on the 4-lane one; longer inputs through keccak256_many, whose
// groups are 8, then 4, then a last 2 or 3 on 4 lanes or a last one alone,
// for each of their blocks (2089 bytes: 16).
TEST(EngineHash, PermutationsAreCountedByKernel) {
  struct Case {
    size_t len, n;
    uint64_t x1, x4, x8;
  } cases[] = {{49, 1, 1, 0, 0},    {49, 3, 0, 1, 0},       {49, 4, 0, 1, 0},      {49, 5, 0, 0, 1},
               {49, 13, 0, 0, 2},   {49, 17, 1, 0, 2},      {49, 19, 0, 1, 2},     {2089, 1, 16, 0, 0},
               {2089, 3, 0, 16, 0}, {2089, 13, 16, 16, 16}, {2089, 15, 0, 32, 16}, {2089, 16, 0, 0, 32}};
  for (const Case& c : cases) {
    std::vector<std::vector<uint8_t>> in(c.n, std::vector<uint8_t>(c.len, 0x33));
    std::vector<const uint8_t*> ptrs;
    for (auto& v : in) ptrs.push_back(v.data());
    std::vector<Digest> got(c.n);
    hash::testing::reset_permutation_count();
    if (c.len < hash::lanes::kRate)
      hash::lanes::hash_many(
          c.n, c.len, [&](size_t i, uint8_t* dst) { std::memcpy(dst, in[i].data(), c.len); },
          [](size_t, const uint8_t*) {});
    else
      hash::lanes::hash_ptrs(c.n, c.len, ptrs.data(), got.data());
    const auto calls = hash::testing::permutation_calls();
    EXPECT_EQ(calls.x1, c.x1) << c.len << " " << c.n;
    EXPECT_EQ(calls.x4, c.x4) << c.len << " " << c.n;
    EXPECT_EQ(calls.x8, c.x8) << c.len << " " << c.n;
    EXPECT_EQ(hash::testing::permutation_count(), calls.x1 + 4 * calls.x4 + 8 * calls.x8) << c.len << " " << c.n;
  }
  // The sponge of keccak_packed runs one-lane permutations.
  hash::testing::reset_permutation_count();
  (void)keccak_packed({Part(std::string_view("x"))});
  EXPECT_EQ(hash::testing::permutation_calls().x1, 1u);
}

// Chains of three layouts walked together (the walker's own and two carried
// by the jobs: another layer and tree, and the UXMSS label, whose fields sit
// at other offsets), of every length from none to 15 steps, on the vector
// and the portable permutations.
TEST(EngineHash, ChainWalkerMatchesStepByStep) {
  Digest pk = keccak_packed({Part(std::string_view("pk"))});
  struct Kind {
    std::string_view label;
    uint32_t layer;
    uint64_t tree;
  };
  const Kind kinds[] = {
      {P::WOTS_C_CHAIN, 3, 0x0102030405060708ULL}, {P::WOTS_C_CHAIN, 6, 0x99ULL}, {P::UXMSS_CHAIN, 0, 0}};
  hash::lanes::ChainLayout layouts[3];
  for (int k = 0; k < 3; ++k)
    layouts[k] = hash::lanes::chain_layout(kinds[k].label, pk.data(), kinds[k].layer, kinds[k].tree);
  constexpr uint32_t kJobs = 41;
  for (bool portable : {false, true}) {
    keccak::force_portable(portable);
    std::vector<Digest> values(kJobs);
    std::vector<hash::lanes::ChainJob> jobs;
    std::vector<int> kind_of(kJobs);
    for (uint32_t i = 0; i < kJobs; ++i) {
      values[i] = keccak_packed({Part(hash::be32(i))});
      kind_of[i] = int(i % 3);
      const uint32_t start = i % 5, stop = std::min<uint32_t>(15, start + (i * 7) % 16);
      jobs.push_back({values[i].data(), 7 + i, i % 64, start, stop, kind_of[i] == 0 ? nullptr : &layouts[kind_of[i]]});
    }
    const std::vector<Digest> before = values;
    hash::lanes::walk_chains(layouts[0], jobs);
    for (uint32_t i = 0; i < kJobs; ++i) {
      const Kind& k = kinds[kind_of[i]];
      Digest v = before[i];
      for (uint32_t j = jobs[i].start; j < jobs[i].stop; ++j) {
        auto a = hash::address::address_word32(k.layer, k.tree, 0, 7 + i, i % 64, j);
        v = keccak_packed({Part(k.label), Part(pk), Part(a), Part(v)});
      }
      EXPECT_EQ(values[i], v) << "portable " << portable << " job " << i;
    }
  }
  keccak::force_portable(false);
}

TEST(EngineBits, ReadersFollowTheBitOrder) {
  std::vector<uint8_t> d(47);
  for (size_t i = 0; i < d.size(); ++i) d[i] = uint8_t(i * 37 + 11);
  using hash::ops::read_bits32;
  using hash::ops::read_bits64;
  auto v = read_bits32(d, 364, 8);
  ASSERT_TRUE(v);
  EXPECT_EQ(*v, uint32_t(((d[45] & 0x0f) << 4) | (d[46] >> 4)));
  EXPECT_FALSE(read_bits32(d, 372, 8));
  EXPECT_FALSE(read_bits32(d, 0, 33));
  EXPECT_FALSE(read_bits64(d, 0, 65));
  EXPECT_EQ(read_bits32(d, 10000, 0), std::optional<uint32_t>(0));
  auto w = read_bits64(d, 8 * 5, 56);
  ASSERT_TRUE(w);
  uint64_t expect = 0;
  for (int i = 0; i < 7; ++i) expect = (expect << 8) | d[5 + i];
  EXPECT_EQ(*w, expect);
  EXPECT_EQ(read_bits32(d, 0, 32), std::optional<uint32_t>(hash::get_be32(d.data())));
  Digest g{};
  g[0] = 0xA5;
  EXPECT_EQ(hash::ops::base_w16_digit(g, 0), 10u);
  EXPECT_EQ(hash::ops::base_w16_digit(g, 1), 5u);
  EXPECT_THROW(hash::ops::base_w16_digit(g, 64), fault::InternalFault);
}

TEST(EngineAddress, Layouts) {
  auto a = hash::address::address_word32(7, 258, 0, 9, 63, 14);
  EXPECT_EQ(vt_test::to_hex_c(a),
            "00000007"
            "00000000"
            "0000000000000102"
            "00000000"
            "00000009"
            "0000003f"
            "0000000e");
  auto f = ref::fors_address_word(0x00ffeeddccbbaa99ULL, 0xab, 5, 77);
  EXPECT_EQ(vt_test::to_hex_c(f),
            "00000000"
            "00000000"
            "00ffeeddccbbaa99"
            "00000003"
            "000000ab"
            "00000005"
            "0000004d");
  auto h = ref::hypertree_address_word(6, 0x1234, 8, 3);
  EXPECT_EQ(vt_test::to_hex_c(h),
            "00000006"
            "00000000"
            "0000000000001234"
            "00000002"
            "00000000"
            "00000008"
            "00000003");
}

TEST(EngineProfile, ConstantsAndLabels) {
  EXPECT_EQ(P::DIGIT_SUM_TARGET, P::WOTS_CHAINS * P::CHAIN_LEN / 2);
  EXPECT_EQ(profiles::p256s::MAX_LEAF_CAPACITY, 4096u);
  EXPECT_EQ(P::PROFILE_LABEL, "shrincs-256s-keccak");
  struct L {
    std::string_view s;
    size_t n;
  } labels[] = {
      {P::UXMSS_CHAIN_SECRET, 23}, {P::UXMSS_CHAIN, 16},  {P::UXMSS_DIGITS, 17},     {P::UXMSS_PK, 13},
      {P::UXMSS_RANDOMIZER, 21},   {P::UXMSS_NODE, 10},   {P::UXMSS_EMPTY_TAIL, 16}, {P::WOTS_C_SECRET, 13},
      {P::WOTS_C_CHAIN, 12},       {P::WOTS_C_MSG, 10},   {P::WOTS_C_PK, 9},         {P::WOTS_C_RANDOMIZER, 17},
      {P::HT_LAYER_SEED, 20},      {P::HT_LEAF_SEED, 19}, {P::HT_WOTS_SK_SEED, 22},  {P::HT_NODE, 14},
      {P::FORS_RANDOMIZER, 15},    {P::FORS_DIGEST, 11},  {P::FORS_SK, 7},           {P::FORS_LEAF, 9},
      {P::FORS_NODE, 9},           {P::FORS_PK, 7},       {P::PUBLIC_KEY_LABEL, 19}, {P::VERIFY_STATEFUL, 23},
      {P::VERIFY_STATELESS, 24},   {P::PROFILE_LABEL, 19}};
  for (auto& l : labels) EXPECT_EQ(l.s.size(), l.n) << l.s;
  EXPECT_EQ(vt_test::to_hex_c(P::FORS_DIGEST_CONST),
            "32f573b453ffc4b3edb5db5c8c6f10d92aae60d6b7749116a86651f56e2a4878");
}

}  // namespace
