// FN-DSA-512 against the fn-dsa 0.4.0 vectors, on the portable code and on
// the vector code where the processor has it.
#include <gtest/gtest.h>

#include <vector>

#include "dispatch.hpp"
#include "fndsa/fndsa.hpp"
#include "valtorimesca/seeded_rng.hpp"
#include "vectors.hpp"

namespace {

using vt_test::field;
using vt_test::hex_field;

const vt_test::json& cases() { return field(vt_test::load_vectors("fn_dsa_512.json"), "cases"); }

std::vector<uint8_t> ctx_of(const vt_test::json& s) { return hex_field(s, "domain_context_hex"); }

// The parameter pins the portable code (true) or leaves the processor's
// choice (false).
class FnDsaVectors : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam() && !fndsa::detail::use_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
    fndsa::detail::force_portable(GetParam());
  }
  void TearDown() override { fndsa::detail::force_portable(false); }
};

TEST_P(FnDsaVectors, HashedVerifyingKey) {
  for (const auto& c : cases()) {
    auto vk = hex_field(c, "verifying_key_hex");
    auto sk = hex_field(c, "signing_key_hex");
    uint8_t h[64];
    fndsa::hash_verifying_key(vk, h);
    auto want = hex_field(c, "hashed_verifying_key_hex (SHAKE256(vk), 64 bytes; equals last 64 bytes of signing key)");
    EXPECT_EQ(std::vector<uint8_t>(h, h + 64), want);
    EXPECT_EQ(std::vector<uint8_t>(sk.end() - 64, sk.end()), want);
  }
}

TEST_P(FnDsaVectors, MuAndVerification) {
  for (const auto& c : cases()) {
    auto vkb = hex_field(c, "verifying_key_hex");
    fndsa::VerifyingKey vk;
    ASSERT_TRUE(vk.decode(vkb));
    uint8_t hvk[64];
    fndsa::hash_verifying_key(vkb, hvk);
    for (const auto& s : field(c, "signatures")) {
      auto msg = hex_field(s, "message_hex");
      auto ctx = ctx_of(s);
      auto sig = hex_field(s, "signature_hex");
      uint8_t mu[64];
      fndsa::compute_mu(hvk, ctx, msg, mu);
      EXPECT_EQ(std::vector<uint8_t>(mu, mu + 64), hex_field(s, "mu_hex"));
      EXPECT_EQ(vk.verify(msg, ctx, sig), field(s, "verifies").get<bool>());
      auto longer = msg;
      longer.push_back(0);
      if (s.contains("verifies_with_message_plus_00")) {
        EXPECT_EQ(vk.verify(longer, ctx, sig), field(s, "verifies_with_message_plus_00").get<bool>());
      }
      if (s.contains("verifies_with_empty_context")) {
        EXPECT_EQ(vk.verify(msg, {}, sig), field(s, "verifies_with_empty_context").get<bool>());
      }
    }
  }
}

TEST_P(FnDsaVectors, SigningKeyDecodeAndSignatures) {
  for (const auto& c : cases()) {
    auto skb = hex_field(c, "signing_key_hex");
    auto vkb = hex_field(c, "verifying_key_hex");
    fndsa::SigningKey sk;
    ASSERT_TRUE(sk.decode(skb));
    uint8_t vk[fndsa::kVerifyingKeyLen];
    sk.to_verifying_key(vk);
    EXPECT_EQ(std::vector<uint8_t>(vk, vk + sizeof vk), vkb);

    fndsa::SigningKey short_key;
    EXPECT_EQ(short_key.decode(std::span(skb).first(1281)),
              field(c, "signing_key_decode_of_first_1281_bytes_succeeds").get<bool>());
    auto flipped = skb;
    flipped.back() ^= 1;
    fndsa::SigningKey flipped_key;
    EXPECT_EQ(flipped_key.decode(flipped), field(c, "signing_key_decode_with_last_byte_flipped_succeeds").get<bool>());
  }
}

TEST_P(FnDsaVectors, KeyPairsFromSeeds) {
  for (const auto& c : cases()) {
    auto seed = hex_field(field(c, "keygen_seed"), "hex");
    ASSERT_EQ(seed.size(), 32u);
    valtorimesca::SeededRng rng(std::span<const uint8_t, 32>(seed.data(), 32));
    uint8_t sk[fndsa::kSigningKeyLen], vk[fndsa::kVerifyingKeyLen];
    fndsa::keygen(rng, sk, vk);
    EXPECT_EQ(vt_test::to_hex(vk, sizeof vk), vt_test::string_field(c, "verifying_key_hex"));
    EXPECT_EQ(vt_test::to_hex(sk, sizeof sk), vt_test::string_field(c, "signing_key_hex"));
  }
}

TEST_P(FnDsaVectors, SignaturesFromSeeds) {
  for (const auto& c : cases()) {
    fndsa::SigningKey sk;
    ASSERT_TRUE(sk.decode(hex_field(c, "signing_key_hex")));
    for (const auto& s : field(c, "signatures")) {
      auto seed = hex_field(field(s, "sign_seed"), "hex");
      ASSERT_EQ(seed.size(), 32u);
      valtorimesca::SeededRng rng(std::span<const uint8_t, 32>(seed.data(), 32));
      uint8_t sig[fndsa::kSignatureLen];
      ASSERT_EQ(sk.sign(hex_field(s, "message_hex"), ctx_of(s), rng, sig), fndsa::SignStatus::Ok);
      EXPECT_EQ(vt_test::to_hex(sig, sizeof sig), vt_test::string_field(s, "signature_hex"))
          << vt_test::string_field(s, "message_name");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, FnDsaVectors, ::testing::Values(true, false),
                         [](const auto& p) { return p.param ? "portable" : "avx2"; });

}  // namespace
