#include "valtorimesca/classical/ed25519.hpp"

#include <gtest/gtest.h>
#include <sodium.h>

#include "test_util.hpp"
#include "valtorimesca/classical/ed25519/edwards.hpp"
#include "valtorimesca/seeded_rng.hpp"
#include "valtorimesca/suites.hpp"

using namespace valtorimesca;
using namespace ed_test;
namespace edc = valtorimesca::classical::ed25519;
namespace ed = valtorimesca::classical::ed25519::edwards;
using edc::Ed25519;

namespace {

const auto kLabel = suites::label_bytes(suites::kLabelEdMl44);

std::array<uint8_t, 64> sign(const KeyPair& kp, std::span<const uint8_t> msg) {
  std::array<uint8_t, 64> sig{};
  EXPECT_TRUE(edc::raw_sign(kp.sk, msg, sig).ok());
  return sig;
}

bool verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig) {
  return Ed25519::verify(pk, msg, kLabel, sig).declassify();
}

// Both verification paths, which must always agree.
bool verify_both(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig) {
  const bool full = verify(pk, msg, sig);
  if (pk.size() == 32 && sig.size() == 64) {
    const bool slow = edc::detail::verify_cofactored(std::span<const uint8_t, 32>(pk.data(), 32), msg,
                                                     std::span<const uint8_t, 64>(sig.data(), 64));
    EXPECT_EQ(full, slow);
  }
  return full;
}

TEST(Ed25519, Rfc8032VectorsDeriveSignAndVerify) {
  const auto& j = vt_test::load_vectors("ed25519_zebra.json");
  const auto& cases = vt_test::field(j, "rfc8032");
  ASSERT_EQ(cases.size(), 3u);
  for (const auto& c : cases) {
    const KeyPair kp = derive_key(vt_test::hex_field(c, "seed_hex"));
    EXPECT_EQ(vt_test::to_hex_c(kp.pk), vt_test::string_field(c, "public_key_hex"));
    EXPECT_EQ(vt_test::to_hex(kp.sk.data(), 32), vt_test::string_field(c, "seed_hex"));
    EXPECT_EQ(vt_test::to_hex(kp.sk.data() + 32, 32), vt_test::string_field(c, "public_key_hex"));
    const Bytes msg = vt_test::hex_field(c, "message_hex");
    const auto sig = sign(kp, msg);
    EXPECT_EQ(vt_test::to_hex_c(sig), vt_test::string_field(c, "signature_hex"));
    EXPECT_TRUE(verify_both(kp.pk, msg, sig));
  }
}

TEST(Ed25519, FixedSeedKeysAndSignaturesMatch) {
  const auto& j = vt_test::load_vectors("ed25519_zebra.json");
  size_t n = 0;
  for (const auto& k : vt_test::field(j, "keys")) {
    const KeyPair kp = derive_key(vt_test::hex_field(vt_test::field(k, "seed"), "hex"));
    EXPECT_EQ(vt_test::to_hex_c(kp.pk), vt_test::string_field(k, "public_key_hex"));
    for (const auto& s : vt_test::field(k, "signatures")) {
      const Bytes msg = vt_test::hex_field(s, "message_hex");
      const auto sig = sign(kp, msg);
      EXPECT_EQ(vt_test::to_hex_c(sig), vt_test::string_field(s, "signature_hex"));
      EXPECT_EQ(verify_both(kp.pk, msg, sig), vt_test::field(s, "verifies").get<bool>());
      ++n;
    }
  }
  EXPECT_GT(n, 10u);
}

TEST(Ed25519, Zip215OutcomesOfTheRecordedCases) {
  const auto& j = vt_test::load_vectors("ed25519_zebra.json");
  for (const auto& c : vt_test::field(j, "verification_cases")) {
    const Bytes pk = vt_test::hex_field(c, "vk_hex"), sig = vt_test::hex_field(c, "sig_hex"),
                msg = vt_test::hex_field(c, "message_hex");
    const bool expected = vt_test::field(c, "result").get<bool>();
    // expected_zip215 is a boolean, or a note where only the equation decides.
    const auto& note = vt_test::field(c, "expected_zip215");
    if (note.is_boolean()) {
      ASSERT_EQ(expected, note.get<bool>());
    }
    EXPECT_EQ(verify_both(pk, msg, sig), expected) << vt_test::string_field(c, "name");
  }
}

TEST(Ed25519, AllSmallOrderCasesAreAccepted) {
  const auto& j = vt_test::load_vectors("ed25519_zip215_small_order_196.json");
  const Bytes msg = vt_test::hex_field(j, "message_hex");
  const auto& cases = vt_test::field(j, "cases");
  ASSERT_EQ(cases.size(), 196u);
  for (const auto& c : cases) {
    ASSERT_TRUE(vt_test::field(c, "valid_zip215").get<bool>());
    const Bytes pk = vt_test::hex_field(c, "vk_bytes"), sig = vt_test::hex_field(c, "sig_bytes");
    EXPECT_TRUE(verify_both(pk, msg, sig)) << vt_test::to_hex(pk) << " " << vt_test::to_hex(sig);
  }
}

TEST(Ed25519, EveryModeSignsTheSameBytes) {
  const KeyPair kp = derive_key(vt_test::pseudo_random_bytes(1, 32));
  const auto msg = bytes_of("valtorimesca");
  const auto reference = sign(kp, msg);
  component::OsRng os;
  std::array<uint8_t, 32> rng_seed{9};
  SeededRng seeded(rng_seed);
  std::array<uint8_t, 64> a{}, b{}, c{}, d{};
  ASSERT_TRUE(Ed25519::sign(kp.sk, msg, kLabel, os, a).ok());
  ASSERT_TRUE(Ed25519::sign(kp.sk, msg, suites::label_bytes(suites::kLabelEdSh), seeded, b).ok());
  ASSERT_TRUE(Ed25519::sign_deterministic(kp.sk, msg, bytes_of("nonce"), kLabel, c).ok());
  ASSERT_TRUE(Ed25519::sign_deterministic(kp.sk, msg, {}, suites::label_bytes(suites::kLabelEdFn512), d).ok());
  for (const auto* s : {&a, &b, &c, &d}) EXPECT_EQ(*s, reference);
}

TEST(Ed25519, PublicHalfOfTheSecretKeyIsNotRead) {
  const KeyPair kp = derive_key(vt_test::pseudo_random_bytes(2, 32));
  const auto msg = bytes_of("message");
  auto altered = kp.sk;
  for (size_t i = 32; i < 64; ++i) altered[i] ^= static_cast<uint8_t>(0x5a + i);
  std::array<uint8_t, 64> sig{};
  ASSERT_TRUE(edc::raw_sign(altered, msg, sig).ok());
  EXPECT_EQ(sig, sign(kp, msg));
  EXPECT_TRUE(verify(kp.pk, msg, sig));
}

TEST(Ed25519, LengthsAreChecked) {
  const KeyPair kp = derive_key(vt_test::pseudo_random_bytes(3, 32));
  const std::array<uint8_t, 32> seed = to_array<32>(vt_test::pseudo_random_bytes(3, 32));
  const auto msg = bytes_of("m");

  std::array<uint8_t, 65> big{};
  std::array<uint8_t, 32> pk_buf;
  pk_buf.fill(0xcc);
  auto r = Ed25519::derive(seed, std::span<uint8_t>(big.data(), 63), pk_buf);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(64, 63));
  for (uint8_t b : pk_buf) EXPECT_EQ(b, 0xcc);
  r = Ed25519::derive(seed, std::span<uint8_t>(big.data(), 64), std::span<uint8_t>(pk_buf.data(), 31));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(32, 31));

  std::array<uint8_t, 64> sig{};
  r = edc::raw_sign(std::span<const uint8_t>(kp.sk.data(), 63), msg, std::span<uint8_t>(big.data(), 65));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(64, 63));  // secret key first
  r = Ed25519::sign_deterministic(kp.sk, msg, {}, kLabel, std::span<uint8_t>(big.data(), 65));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(64, 65));

  ASSERT_TRUE(edc::raw_sign(kp.sk, msg, sig).ok());
  Bytes pk33(kp.pk.begin(), kp.pk.end()), sig65(sig.begin(), sig.end());
  pk33.push_back(0);
  sig65.push_back(0);
  EXPECT_TRUE(verify(kp.pk, msg, sig));
  EXPECT_FALSE(verify(std::span<const uint8_t>(kp.pk.data(), 31), msg, sig));
  EXPECT_FALSE(verify(pk33, msg, sig));
  EXPECT_FALSE(verify(kp.pk, msg, std::span<const uint8_t>(sig.data(), 63)));
  EXPECT_FALSE(verify(kp.pk, msg, sig65));
}

bool libsodium_strict(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig) {
  return crypto_sign_ed25519_verify_detached(sig.data(), msg.data(), msg.size(), pk.data()) == 0;
}

TEST(Ed25519, TorsionInAOrROnlyMattersUnderTheCofactorlessEquation) {
  const auto torsion = torsion_points_from_vectors();
  const auto msg = bytes_of("cofactored");
  const Scalar a = random_scalar(40), r = random_scalar(41);
  const Point a_point = ed::mul_base(a), r_point = ed::mul_base(r);
  int strict_refusals = 0;
  for (size_t ti = 1; ti < 8; ++ti) {
    const Point t = *ed::decode_canonical(torsion[ti]);
    const Encoding a_mixed = ed::add(a_point, t).bytes(), r_mixed = ed::add(r_point, t).bytes();
    const struct {
      Encoding r_enc, a_enc;
    } variants[] = {{r_point.bytes(), a_mixed}, {r_mixed, a_point.bytes()}, {r_mixed, a_mixed}};
    for (const auto& v : variants) {
      const auto sig = hand_signature(a, r, v.r_enc, v.a_enc, msg);
      EXPECT_TRUE(verify_both(v.a_enc, msg, sig)) << ti;
      if (!libsodium_strict(v.a_enc, msg, sig)) ++strict_refusals;
      auto other = sig;
      other[40] ^= 1;
      EXPECT_FALSE(verify_both(v.a_enc, msg, other)) << ti;
    }
  }
  // Most of these fail the cofactorless equation, so the full check is what
  // accepted them.
  EXPECT_GT(strict_refusals, 10);
}

TEST(Ed25519, NonCanonicalSIsRefused) {
  const KeyPair kp = derive_key(vt_test::pseudo_random_bytes(5, 32));
  const auto msg = bytes_of("non-canonical S");
  const auto sig = sign(kp, msg);
  ASSERT_TRUE(verify_both(kp.pk, msg, sig));
  Scalar s;
  std::copy(sig.begin() + 32, sig.end(), s.begin());
  const Scalar s_plus_l = add_le(s, group_order());
  auto bad = sig;
  std::copy(s_plus_l.begin(), s_plus_l.end(), bad.begin() + 32);
  EXPECT_FALSE(verify_both(kp.pk, msg, bad));
  bad = sig;
  bad[63] |= 0x80;
  EXPECT_FALSE(verify_both(kp.pk, msg, bad));
  // S = l with the small-order key and R that accept S = 0.
  const Encoding id = enc_hex("0100000000000000000000000000000000000000000000000000000000000000");
  std::array<uint8_t, 64> zero_sig{};
  std::copy(id.begin(), id.end(), zero_sig.begin());
  EXPECT_TRUE(verify_both(id, msg, zero_sig));
  const Scalar order = group_order();
  std::copy(order.begin(), order.end(), zero_sig.begin() + 32);
  EXPECT_FALSE(verify_both(id, msg, zero_sig));
}

TEST(Ed25519, BothPathsAgreeOnRandomMutations) {
  for (uint64_t i = 0; i < 40; ++i) {
    const KeyPair kp = derive_key(vt_test::pseudo_random_bytes(1000 + i, 32));
    const Bytes msg = vt_test::pseudo_random_bytes(2000 + i, i * 3);
    const auto sig = sign(kp, msg);
    ASSERT_TRUE(verify_both(kp.pk, msg, sig));
    const Bytes flips = vt_test::pseudo_random_bytes(3000 + i, 6);
    auto bad_sig = sig;
    bad_sig[flips[0] % 64] ^= static_cast<uint8_t>(1u << (flips[1] % 8));
    EXPECT_FALSE(verify_both(kp.pk, msg, bad_sig));
    auto bad_pk = kp.pk;
    bad_pk[flips[2] % 32] ^= static_cast<uint8_t>(1u << (flips[3] % 8));
    EXPECT_FALSE(verify_both(bad_pk, msg, sig));
    if (!msg.empty()) {
      Bytes bad_msg = msg;
      bad_msg[flips[4] % msg.size()] ^= static_cast<uint8_t>(1u << (flips[5] % 8));
      EXPECT_FALSE(verify_both(kp.pk, bad_msg, sig));
    }
  }
}

}  // namespace
