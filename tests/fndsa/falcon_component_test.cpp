// The FN-DSA-512 component of the core.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cstring>
#include <vector>

#include "keccak/keccak.hpp"
#include "valtorimesca/pq/falcon.hpp"
#include "valtorimesca/seeded_rng.hpp"
#include "vectors.hpp"

namespace {

using valtorimesca::CoreError;
using valtorimesca::pq::falcon::Falcon512;
namespace falcon = valtorimesca::pq::falcon;
using vt_test::field;
using vt_test::hex_field;

using Bytes = std::vector<uint8_t>;

struct Pair {
  Bytes sk = Bytes(Falcon512::kSecretKeyLen);
  Bytes pk = Bytes(Falcon512::kPublicKeyLen);
};

Pair derive(const Bytes& seed) {
  Pair p;
  EXPECT_TRUE(Falcon512::derive(seed, p.sk, p.pk).ok());
  return p;
}

const Pair& pair0() {
  static const Pair p = derive(Bytes(32, 0x42));
  return p;
}

const vt_test::json& cases() { return field(vt_test::load_vectors("fn_dsa_512.json"), "cases"); }

TEST(Falcon512, DeriveMatchesTheLibraryKeysAndIsStable) {
  const auto& c = cases()[1];
  auto p = derive(hex_field(field(c, "keygen_seed"), "hex"));
  EXPECT_EQ(p.sk, hex_field(c, "signing_key_hex"));
  EXPECT_EQ(p.pk, hex_field(c, "verifying_key_hex"));
  auto q = derive(Bytes(32, 0x42));
  EXPECT_EQ(q.sk, pair0().sk);
  EXPECT_EQ(q.pk, pair0().pk);
  EXPECT_EQ(q.sk[0], 0x59);
  EXPECT_EQ(q.pk[0], 0x09);
  uint8_t h[64];
  keccak::shake256(q.pk.data(), q.pk.size(), h, 64);
  EXPECT_EQ(0, std::memcmp(h, q.sk.data() + 1281, 64));
}

TEST(Falcon512, DeriveLengthErrorsInOrder) {
  struct Case {
    size_t seed, sk, pk;
    CoreError err;
  };
  const Case table[] = {
      {31, 1, 1, CoreError::bad_length(32, 31)},
      {32, 1344, 1, CoreError::bad_length(1345, 1344)},
      {32, 1345, 898, CoreError::bad_length(897, 898)},
      {33, 1345, 897, CoreError::bad_length(32, 33)},
  };
  for (const auto& t : table) {
    Bytes seed(t.seed), sk(t.sk), pk(t.pk);
    auto r = Falcon512::derive(seed, sk, pk);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), t.err);
  }
}

TEST(Falcon512, SignWithSeedMatchesTheLibrarySignatures) {
  for (const auto& c : cases()) {
    auto sk = hex_field(c, "signing_key_hex");
    auto pk = hex_field(c, "verifying_key_hex");
    for (const auto& s : field(c, "signatures")) {
      if (!hex_field(s, "domain_context_hex").empty()) continue;
      auto seed = hex_field(field(s, "sign_seed"), "hex");
      auto msg = hex_field(s, "message_hex");
      Bytes sig(Falcon512::kSignatureLen);
      ASSERT_TRUE(falcon::sign_with_seed(sk, msg, std::span<const uint8_t, 32>(seed.data(), 32), sig).ok());
      EXPECT_EQ(sig, hex_field(s, "signature_hex"));
      EXPECT_TRUE(Falcon512::verify(pk, msg, sig).declassify());
    }
  }
}

TEST(Falcon512, SigningErrors) {
  const auto& p = pair0();
  const uint8_t seed[32] = {};
  Bytes out(666), msg = {1};
  // Output length is checked first, even with a bad key.
  for (size_t len : {0u, 665u, 667u}) {
    Bytes o(len);
    auto r = falcon::sign_with_seed(Bytes(3), msg, seed, o);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), CoreError::bad_length(666, len));
  }
  Bytes bad_header = p.sk;
  bad_header[0] = 0x5A;
  for (const Bytes& sk : {Bytes(1344), Bytes(1346), bad_header, Bytes(1345, 0)}) {
    auto r = falcon::sign_with_seed(sk, msg, seed, out);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), CoreError::component_failure());
    auto d = Falcon512::sign_deterministic(sk, msg, msg, out);
    ASSERT_FALSE(d.ok());
    EXPECT_EQ(d.error(), CoreError::component_failure());
  }
}

TEST(Falcon512, HedgedSigningDrawsThirtyTwoBytes) {
  const auto& p = pair0();
  Bytes msg = {'h', 'i'};
  const uint8_t rseed[32] = {9};
  valtorimesca::SeededRng rng(rseed), twin(rseed);
  Bytes sig(666), want(666);
  ASSERT_TRUE(Falcon512::sign(p.sk, msg, rng, sig).ok());
  uint8_t drawn[32];
  twin.fill_bytes(drawn, 32);
  ASSERT_TRUE(falcon::sign_with_seed(p.sk, msg, drawn, want).ok());
  EXPECT_EQ(sig, want);
  // The generator advanced by exactly 32 bytes.
  EXPECT_EQ(rng.next_u64(), twin.next_u64());
  EXPECT_TRUE(Falcon512::verify(p.pk, msg, sig).declassify());
}

TEST(Falcon512, DeterministicSigning) {
  const auto& p = pair0();
  Bytes msg = {'d', 'e', 't'};
  Bytes n1 = {1, 2, 3}, n2 = {1, 2, 4};
  Bytes a(666), b(666), c(666), e(666);
  ASSERT_TRUE(Falcon512::sign_deterministic(p.sk, msg, n1, a).ok());
  ASSERT_TRUE(Falcon512::sign_deterministic(p.sk, msg, n1, b).ok());
  ASSERT_TRUE(Falcon512::sign_deterministic(p.sk, msg, n2, c).ok());
  ASSERT_TRUE(Falcon512::sign_deterministic(p.sk, msg, {}, e).ok());
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(a, e);
  for (const auto* s : {&a, &c, &e}) EXPECT_TRUE(Falcon512::verify(p.pk, msg, *s).declassify());

  // The nonce seed: SHA-512 over the label and the length-prefixed parts.
  Bytes in(falcon::kNonceSeedLabel, falcon::kNonceSeedLabel + 38);
  for (const Bytes* part : {&p.sk, static_cast<const Bytes*>(&n1), static_cast<const Bytes*>(&msg)}) {
    for (int i = 7; i >= 0; --i) in.push_back(static_cast<uint8_t>(part->size() >> (8 * i)));
    in.insert(in.end(), part->begin(), part->end());
  }
  uint8_t d[64];
  SHA512(in.data(), in.size(), d);
  auto ns = falcon::nonce_seed(p.sk, n1, msg);
  EXPECT_EQ(0, std::memcmp(ns.data(), d, 32));
  Bytes viaseed(666);
  ASSERT_TRUE(falcon::sign_with_seed(p.sk, msg, ns.span(), viaseed).ok());
  EXPECT_EQ(viaseed, a);
  // An empty nonce and a one-byte zero nonce differ.
  EXPECT_NE(0,
            std::memcmp(falcon::nonce_seed(p.sk, {}, msg).data(), falcon::nonce_seed(p.sk, Bytes{0}, msg).data(), 32));
}

TEST(Falcon512, VerificationAnswersFalseOnBadInputs) {
  const auto& p = pair0();
  Bytes msg = {'v'};
  Bytes sig(666);
  ASSERT_TRUE(Falcon512::sign_deterministic(p.sk, msg, {}, sig).ok());
  ASSERT_TRUE(Falcon512::verify(p.pk, msg, sig).declassify());
  EXPECT_FALSE(Falcon512::verify(p.pk, msg, std::span(sig).first(665)).declassify());
  Bytes longer = sig;
  longer.push_back(0);
  EXPECT_FALSE(Falcon512::verify(p.pk, msg, longer).declassify());
  EXPECT_FALSE(Falcon512::verify(std::span(p.pk).first(896), msg, sig).declassify());
  Bytes badpk = p.pk;
  badpk[0] = 0x0A;
  EXPECT_FALSE(Falcon512::verify(badpk, msg, sig).declassify());
  EXPECT_FALSE(Falcon512::verify(p.pk, Bytes{'w'}, sig).declassify());
  EXPECT_FALSE(Falcon512::verify(derive(Bytes(32, 1)).pk, msg, sig).declassify());
}

}  // namespace
