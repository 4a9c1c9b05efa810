// Signing behaviour: hedged and deterministic modes, the nonce seed, length
// and key checks, and the verification refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "test_util.hpp"
#include "vectors.hpp"

namespace {

using namespace sr_test;
using valtorimesca::CoreError;
using valtorimesca::SeededRng;
namespace sr = valtorimesca::classical::sr25519;

TEST(Sr25519Sign, DeterministicIsStableAndNonceSensitive) {
  const Keys k = keys_from(7);
  std::array<uint8_t, 64> a{}, b{}, c{};
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("msg"), str("n1"), label_sr_ml(), a));
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("msg"), str("n1"), label_sr_ml(), b));
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("msg"), str("n2"), label_sr_ml(), c));
  EXPECT_EQ(a, b);
  EXPECT_NE(0, std::memcmp(a.data(), c.data(), 32));  // R changes with the nonce
  EXPECT_TRUE(Sr25519::verify(k.pk, str("msg"), label_sr_ml(), a).declassify());
  EXPECT_TRUE(Sr25519::verify(k.pk, str("msg"), label_sr_ml(), c).declassify());
}

TEST(Sr25519Sign, DeterministicEqualsSeededSigningWithNonceSeed) {
  const Keys k = keys_from(9);
  auto seed = sr::nonce_seed_in(sr::label_with_zero(sr::kNonceSeedLabel), k.sk, str("nonce"), str("m"));
  SeededRng rng(seed.span());
  std::array<uint8_t, 64> a{}, b{};
  ASSERT_TRUE(sr::sign_with_rng(k.sk, str("m"), label_sr_fn(), rng, a));
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("m"), str("nonce"), label_sr_fn(), b));
  EXPECT_EQ(a, b);
}

TEST(Sr25519Sign, NonceSeedFraming) {
  const Keys k = keys_from(1);
  const auto label = sr::label_with_zero(sr::kNonceSeedLabel);
  ASSERT_EQ(label.size(), 35u);
  ASSERT_EQ(sr::label_with_zero(sr::kVrfNonceSeedLabel).size(), 39u);
  const uint8_t zero = 0;
  auto empty = sr::nonce_seed_in(label, k.sk, {}, str("m"));
  auto one = sr::nonce_seed_in(label, k.sk, std::span<const uint8_t>(&zero, 1), str("m"));
  EXPECT_NE(empty.array(), one.array());
  // Moving a byte from the nonce to the message changes the seed.
  auto x = sr::nonce_seed_in(label, k.sk, str("ab"), str("c"));
  auto y = sr::nonce_seed_in(label, k.sk, str("a"), str("bc"));
  EXPECT_NE(x.array(), y.array());

  // Independent recomputation of the framing with libsodium's SHA-512.
  std::vector<uint8_t> in(label.begin(), label.end());
  auto put = [&](std::span<const uint8_t> p) {
    for (int i = 7; i >= 0; --i) in.push_back(static_cast<uint8_t>(uint64_t(p.size()) >> (8 * i)));
    in.insert(in.end(), p.begin(), p.end());
  };
  put(k.sk);
  put(str("ab"));
  put(str("c"));
  uint8_t h[64];
  crypto_hash_sha512(h, in.data(), in.size());
  EXPECT_EQ(0, std::memcmp(h, x.data(), 32));
}

TEST(Sr25519Sign, HedgedSignaturesDifferAndVerify) {
  const Keys k = keys_from(3);
  sr::OsRng os;
  std::array<uint8_t, 64> a{}, b{};
  ASSERT_TRUE(Sr25519::sign(k.sk, str("same"), label_sr_ml(), os, a));
  ASSERT_TRUE(Sr25519::sign(k.sk, str("same"), label_sr_ml(), os, b));
  EXPECT_NE(a, b);
  EXPECT_TRUE(Sr25519::verify(k.pk, str("same"), label_sr_ml(), a).declassify());
  EXPECT_TRUE(Sr25519::verify(k.pk, str("same"), label_sr_ml(), b).declassify());
}

TEST(Sr25519Sign, MarkerBitAndCanonicalS) {
  const Keys k = keys_from(4);
  std::array<uint8_t, 64> sig{};
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("m"), {}, label_sr_ml(), sig));
  EXPECT_EQ(sig[63] & 0x80, 0x80);
  auto cleared = sig;
  cleared[63] &= 0x7f;
  EXPECT_FALSE(Sr25519::verify(k.pk, str("m"), label_sr_ml(), cleared).declassify());
  // s + l is the same residue but not canonical: refused.
  static const uint8_t l[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};
  auto big = sig;
  big[63] &= 0x7f;
  unsigned carry = 0;
  for (int i = 0; i < 32; ++i) {
    unsigned v = big[32 + i] + l[i] + carry;
    big[32 + i] = static_cast<uint8_t>(v);
    carry = v >> 8;
  }
  ASSERT_EQ(big[63] & 0x80, 0);  // still fits below the marker bit
  big[63] |= 0x80;
  EXPECT_FALSE(Sr25519::verify(k.pk, str("m"), label_sr_ml(), big).declassify());
}

TEST(Sr25519Sign, LabelIsTheSigningContext) {
  const Keys k = keys_from(5);
  std::array<uint8_t, 64> sig{};
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("m"), {}, label_sr_ml(), sig));
  EXPECT_TRUE(Sr25519::verify(k.pk, str("m"), label_sr_ml(), sig).declassify());
  EXPECT_FALSE(Sr25519::verify(k.pk, str("m"), label_sr_fn(), sig).declassify());
  const Keys other = keys_from(6);
  EXPECT_FALSE(Sr25519::verify(other.pk, str("m"), label_sr_ml(), sig).declassify());
}

TEST(Sr25519Sign, LengthAndKeyErrors) {
  const Keys k = keys_from(8);
  std::array<uint8_t, 64> out{};
  std::array<uint8_t, 63> out63{};
  std::array<uint8_t, 63> sk63{};
  std::array<uint8_t, 64> sk_ff{};
  sk_ff.fill(0xff);
  sr::OsRng os;
  const ErrCase table[] = {
      {"det short key", Sr25519::sign_deterministic(sk63, str("m"), {}, label_sr_ml(), out),
       CoreError::bad_length(64, 63)},
      {"det short out", Sr25519::sign_deterministic(k.sk, str("m"), {}, label_sr_ml(), out63),
       CoreError::bad_length(64, 63)},
      {"hedged short key", Sr25519::sign(sk63, str("m"), label_sr_ml(), os, out), CoreError::bad_length(64, 63)},
      {"hedged short out", Sr25519::sign(k.sk, str("m"), label_sr_ml(), os, out63), CoreError::bad_length(64, 63)},
      {"det ff scalar", Sr25519::sign_deterministic(sk_ff, str("m"), {}, label_sr_ml(), out),
       CoreError::component_failure()},
      {"hedged ff scalar", Sr25519::sign(sk_ff, str("m"), label_sr_ml(), os, out), CoreError::component_failure()},
  };
  expect_errors(table);

  std::array<uint8_t, 32> pk{};
  std::array<uint8_t, 32> seed{};
  EXPECT_EQ(Sr25519::derive(seed, out63, pk).error(), CoreError::bad_length(64, 63));
  std::array<uint8_t, 31> pk31{};
  EXPECT_EQ(Sr25519::derive(seed, out, pk31).error(), CoreError::bad_length(32, 31));
}

TEST(Sr25519Sign, VerifyRefusesMalformedInputs) {
  const Keys k = keys_from(10);
  std::array<uint8_t, 64> sig{};
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("m"), {}, label_sr_ml(), sig));
  std::vector<uint8_t> pk33(k.pk.begin(), k.pk.end());
  pk33.push_back(0);
  std::array<uint8_t, 32> bad_pk{};
  bad_pk.fill(0xff);  // not a field element
  std::vector<uint8_t> sig65(sig.begin(), sig.end());
  sig65.push_back(0);
  auto tweaked_r = sig;
  tweaked_r[0] ^= 1;
  EXPECT_FALSE(Sr25519::verify(pk33, str("m"), label_sr_ml(), sig).declassify());
  EXPECT_FALSE(Sr25519::verify(bad_pk, str("m"), label_sr_ml(), sig).declassify());
  EXPECT_FALSE(Sr25519::verify(k.pk, str("m"), label_sr_ml(), sig65).declassify());
  EXPECT_FALSE(Sr25519::verify(k.pk, str("m"), label_sr_ml(), std::span(sig).first(63)).declassify());
  EXPECT_FALSE(Sr25519::verify(k.pk, str("m"), label_sr_ml(), tweaked_r).declassify());
  EXPECT_FALSE(Sr25519::verify(k.pk, str("n"), label_sr_ml(), sig).declassify());
}

TEST(Sr25519Sign, IdentityKeyNeverVerifiesAnHonestSignature) {
  // The identity encoding decodes; s*B - k*0 = s*B equals R only for a
  // forged pair, and an ordinary signature under another key is refused.
  const Keys k = keys_from(11);
  std::array<uint8_t, 64> sig{};
  ASSERT_TRUE(Sr25519::sign_deterministic(k.sk, str("m"), {}, label_sr_ml(), sig));
  std::array<uint8_t, 32> identity{};
  EXPECT_FALSE(Sr25519::verify(identity, str("m"), label_sr_ml(), sig).declassify());
}

}  // namespace
