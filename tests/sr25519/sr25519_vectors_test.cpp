// Keys, signatures and VRF evaluations against schnorrkel 0.11.5 known answers.
#include <gtest/gtest.h>

#include "test_util.hpp"
#include "vectors.hpp"

namespace {

using namespace sr_test;
using valtorimesca::SeededRng;
using vt_test::field;
using vt_test::hex_field;
namespace sr = valtorimesca::classical::sr25519;

const vt_test::json& cases() {
  const auto& c = field(vt_test::load_vectors("schnorrkel.json"), "cases");
  if (c.empty()) throw std::runtime_error("no cases");
  return c;
}

TEST(Sr25519Vectors, MiniSecretExpansionInEd25519Mode) {
  for (const auto& c : cases()) {
    auto mini = hex_field(field(c, "mini_secret_key"), "hex");
    ASSERT_EQ(mini.size(), 32u);
    std::array<uint8_t, 64> sk{};
    std::array<uint8_t, 32> pk{};
    ASSERT_TRUE(Sr25519::derive(std::span<const uint8_t, 32>(mini.data(), 32), sk, pk));
    EXPECT_EQ(vt_test::to_hex_c(sk), vt_test::to_hex(hex_field(c, "secret_key_to_bytes_hex (scalar || nonce)")));
    EXPECT_EQ(vt_test::to_hex_c(pk), vt_test::to_hex(hex_field(c, "public_key_hex")));
  }
}

TEST(Sr25519Vectors, SignaturesWithSeededWitness) {
  size_t n = 0;
  for (const auto& c : cases()) {
    const auto sk = hex_field(c, "secret_key_to_bytes_hex (scalar || nonce)");
    const auto pk = hex_field(c, "public_key_hex");
    for (const auto& s : field(c, "signatures")) {
      const auto msg = hex_field(s, "message_hex");
      const auto ctx = hex_field(s, "context_hex");
      const auto seed = hex_field(field(s, "witness_rng_seed"), "hex");
      const auto want = hex_field(s, "signature_hex (R || s, s[31] |= 0x80)");
      SeededRng rng(seed.data());
      std::array<uint8_t, 64> sig{};
      ASSERT_TRUE(sr::sign_with_rng(sk, msg, ctx, rng, sig));
      EXPECT_EQ(vt_test::to_hex_c(sig), vt_test::to_hex(want));
      EXPECT_EQ(Sr25519::verify(pk, msg, ctx, want).declassify(), field(s, "verifies").get<bool>());
      auto longer = msg;
      longer.push_back(0);
      EXPECT_EQ(Sr25519::verify(pk, longer, ctx, want).declassify(),
                field(s, "verifies_with_message_plus_00").get<bool>());
      auto cleared = want;
      cleared[63] &= 0x7f;
      EXPECT_EQ(Sr25519::verify(pk, msg, ctx, cleared).declassify(),
                field(s, "from_bytes_accepts_signature_with_marker_bit_cleared").get<bool>());
      ++n;
    }
  }
  EXPECT_GE(n, 20u);
}

TEST(Sr25519Vectors, VrfPreOutputsProofsAndOutputBytes) {
  size_t n = 0;
  for (const auto& c : cases()) {
    const auto sk = hex_field(c, "secret_key_to_bytes_hex (scalar || nonce)");
    const auto pk = hex_field(c, "public_key_hex");
    for (const auto& v : field(c, "vrf")) {
      const auto ctx = hex_field(v, "context_hex");
      const auto input = hex_field(v, "input_hex");
      const auto seed = hex_field(field(v, "witness_rng_seed"), "hex");
      SeededRng rng(seed.data());
      std::array<uint8_t, 32> pre{};
      std::array<uint8_t, 64> proof{};
      ASSERT_TRUE(sr::vrf_impl::evaluate_with_rng(sk, ctx, input, rng, pre, proof));
      EXPECT_EQ(vt_test::to_hex_c(pre), vt_test::to_hex(hex_field(v, "preout_hex")));
      EXPECT_EQ(vt_test::to_hex_c(proof), vt_test::to_hex(hex_field(v, "proof_hex (c || s)")));
      EXPECT_EQ(Sr25519::vrf_verify(pk, ctx, input, pre, proof).declassify(), field(v, "verifies").get<bool>());
      auto other = input;
      other.push_back(0);
      EXPECT_EQ(Sr25519::vrf_verify(pk, ctx, other, pre, proof).declassify(),
                field(v, "verifies_for_other_input").get<bool>());

      const auto context = str("some-context");
      auto out32 = Sr25519::vrf_make_bytes(pk, ctx, input, pre, context);
      ASSERT_TRUE(out32);
      EXPECT_EQ(vt_test::to_hex_c(*out32), vt_test::to_hex(hex_field(v, "make_bytes_32(\"some-context\")_hex")));
      std::array<uint8_t, 16> out16{};
      ASSERT_TRUE(Sr25519::vrf_make_bytes_into(pk, ctx, input, pre, context, out16));
      EXPECT_EQ(vt_test::to_hex_c(out16), vt_test::to_hex(hex_field(v, "make_bytes_16(\"some-context\")_hex")));
      ++n;
    }
  }
  EXPECT_GE(n, 30u);
}

}  // namespace
