// The ML-DSA-44 post-quantum component: lengths and their errors, hedged,
// with-randomness and deterministic signing, verification as a
// constant-time truth value, against the fips204 vectors.
#include <gtest/gtest.h>

#include <vector>

#include "valtorimesca/pq/mldsa44.hpp"
#include "valtorimesca/seeded_rng.hpp"
#include "vectors.hpp"

namespace {

using valtorimesca::CoreError;
using valtorimesca::SeededRng;
using valtorimesca::component::OsRng;
using valtorimesca::pq::mldsa44::MlDsa44;
using valtorimesca::pq::mldsa44::sign_with_rnd;
using Bytes = std::vector<uint8_t>;
using Kind = CoreError::Kind;

const vt_test::json& cases() { return vt_test::field(vt_test::load_vectors("ml_dsa_44.json"), "cases"); }

struct Keys {
  Bytes sk = Bytes(MlDsa44::kSecretKeyLen);
  Bytes pk = Bytes(MlDsa44::kPublicKeyLen);
};

Keys derive(const Bytes& seed) {
  Keys k;
  EXPECT_TRUE(MlDsa44::derive(seed, k.sk, k.pk).ok());
  return k;
}

std::span<const uint8_t, 32> rnd32(const Bytes& b) {
  EXPECT_EQ(b.size(), 32u);
  return std::span<const uint8_t, 32>(b.data(), 32);
}

void expect_bad_length(const valtorimesca::CoreStatus& st, size_t expected, size_t got) {
  ASSERT_FALSE(st.ok());
  EXPECT_EQ(st.error(), CoreError::bad_length(expected, got));
}

// Counts the generator's draws while passing them through.
struct CountingRng {
  SeededRng inner;
  std::vector<size_t> draws;
  void fill_bytes(uint8_t* out, size_t len) {
    draws.push_back(len);
    inner.fill_bytes(out, len);
  }
};

TEST(MlDsa44Component, DeriveSignVerifyMatchVectors) {
  for (const auto& c : cases()) {
    const Keys k = derive(vt_test::hex_field(vt_test::field(c, "xi"), "hex"));
    ASSERT_EQ(vt_test::to_hex(k.pk), vt_test::string_field(c, "public_key_hex"));
    ASSERT_EQ(vt_test::to_hex(k.sk), vt_test::string_field(c, "private_key_hex"));
    for (const auto& s : vt_test::field(c, "signatures")) {
      if (!vt_test::hex_field(s, "ctx_hex").empty()) continue;  // the component signs with an empty context
      const Bytes msg = vt_test::hex_field(s, "message_hex");
      Bytes sig(MlDsa44::kSignatureLen);
      ASSERT_TRUE(sign_with_rnd(k.sk, msg, rnd32(vt_test::hex_field(vt_test::field(s, "rnd"), "hex")), sig).ok());
      EXPECT_EQ(sig, vt_test::hex_field(s, "signature_hex"));
      EXPECT_TRUE(MlDsa44::verify(k.pk, msg, sig).declassify());

      // Deterministic signing is the all-zero randomness; the nonce is unused.
      const Bytes want0 = vt_test::hex_field(s, "signature_rnd_zero_hex");
      for (const Bytes& nonce : {Bytes{}, Bytes{1, 2, 3}, Bytes(64, 0xAB)}) {
        ASSERT_TRUE(MlDsa44::sign_deterministic(k.sk, msg, nonce, sig).ok());
        EXPECT_EQ(sig, want0);
      }
      EXPECT_TRUE(MlDsa44::verify(k.pk, msg, sig).declassify());
      Bytes other = msg;
      other.push_back(0);
      EXPECT_FALSE(MlDsa44::verify(k.pk, other, sig).declassify());
    }
  }
}

TEST(MlDsa44Component, SignDrawsOne32ByteBlockFromTheGenerator) {
  for (const auto& c : cases()) {
    const Keys k = derive(vt_test::hex_field(vt_test::field(c, "xi"), "hex"));
    const auto& v = vt_test::field(c, "sign_with_rng");
    const Bytes seed = vt_test::hex_field(vt_test::field(v, "rng_seed"), "hex");
    CountingRng rng{SeededRng(rnd32(seed)), {}};
    Bytes sig(MlDsa44::kSignatureLen);
    ASSERT_TRUE(MlDsa44::sign(k.sk, vt_test::hex_field(v, "message_hex"), rng, sig).ok());
    EXPECT_EQ(sig, vt_test::hex_field(v, "signature_hex"));
    EXPECT_EQ(rng.draws, std::vector<size_t>{32});
    EXPECT_EQ(vt_test::field(vt_test::field(v, "rng_calls"), "total_bytes").get<size_t>(), 32u);

    // Key generation from the generator's first 32 bytes.
    const auto& kg = vt_test::field(c, "keygen_with_rng");
    SeededRng krng(rnd32(vt_test::hex_field(vt_test::field(c, "xi"), "hex")));
    Bytes first(32);
    krng.fill_bytes(first);
    EXPECT_EQ(vt_test::to_hex(derive(first).pk), vt_test::string_field(kg, "public_key_hex"));
  }
}

TEST(MlDsa44Component, HedgedSigningWithTheSystemGeneratorVerifiesAndVaries) {
  const Keys k = derive(Bytes(32, 0x42));
  const Bytes msg = {'h', 'e', 'd', 'g', 'e'};
  OsRng rng;
  Bytes a(MlDsa44::kSignatureLen), b(MlDsa44::kSignatureLen);
  ASSERT_TRUE(MlDsa44::sign(k.sk, msg, rng, a).ok());
  ASSERT_TRUE(MlDsa44::sign(k.sk, msg, rng, b).ok());
  EXPECT_NE(a, b);
  EXPECT_TRUE(MlDsa44::verify(k.pk, msg, a).declassify());
  EXPECT_TRUE(MlDsa44::verify(k.pk, msg, b).declassify());
}

TEST(MlDsa44Component, DeriveChecksLengthsInOrder) {
  struct Case {
    size_t seed, sk, pk, expected, got;
  };
  const Case table[] = {
      {31, 2559, 1311, 32, 31},   {33, 2560, 1312, 32, 33},     {0, 2560, 1312, 32, 0},
      {32, 2559, 1311, 2560, 2559}, {32, 2561, 1312, 2560, 2561}, {32, 2560, 1311, 1312, 1311},
      {32, 2560, 1313, 1312, 1313},
  };
  for (const auto& c : table) {
    Bytes seed(c.seed, 1), sk(c.sk, 0xEE), pk(c.pk, 0xEE);
    expect_bad_length(MlDsa44::derive(seed, sk, pk), c.expected, c.got);
    EXPECT_EQ(sk, Bytes(c.sk, 0xEE));
    EXPECT_EQ(pk, Bytes(c.pk, 0xEE));
  }
}

TEST(MlDsa44Component, SigningChecksOutputThenKeyLength) {
  const Keys k = derive(Bytes(32, 7));
  const Bytes msg = {1};
  const Bytes rnd(32, 0);
  struct Case {
    size_t sk, out, expected, got;
  };
  const Case table[] = {
      {2560, 2419, 2420, 2419}, {2560, 2421, 2420, 2421}, {2559, 2419, 2420, 2419},
      {2559, 2420, 2560, 2559}, {2561, 2420, 2560, 2561}, {0, 2420, 2560, 0},
  };
  for (const auto& c : table) {
    Bytes sk = k.sk;
    sk.resize(c.sk, 0);
    Bytes out(c.out, 0xEE);
    expect_bad_length(sign_with_rnd(sk, msg, rnd32(rnd), out), c.expected, c.got);
    expect_bad_length(MlDsa44::sign_deterministic(sk, msg, {}, out), c.expected, c.got);
    OsRng rng;
    expect_bad_length(MlDsa44::sign(sk, msg, rng, out), c.expected, c.got);
    EXPECT_EQ(out, Bytes(c.out, 0xEE));
  }
}

// Every 2560-byte string decodes as a secret key (as in fips204), so signing
// with a malformed key succeeds; its signature verifies under no real key.
TEST(MlDsa44Component, AnySecretKeyOfTheRightLengthSigns) {
  const Keys k = derive(Bytes(32, 9));
  const Bytes msg = {5};
  for (uint8_t fill : {0x00, 0xFF}) {
    const Bytes sk(MlDsa44::kSecretKeyLen, fill);
    Bytes sig(MlDsa44::kSignatureLen);
    ASSERT_TRUE(MlDsa44::sign_deterministic(sk, msg, {}, sig).ok());
    EXPECT_FALSE(MlDsa44::verify(k.pk, msg, sig).declassify());
  }
}

TEST(MlDsa44Component, VerifyAnswersFalseForWrongLengthsAndAlteredInputs) {
  const Keys k = derive(Bytes(32, 3));
  const Bytes msg = {'v', 'e', 'r'};
  Bytes sig(MlDsa44::kSignatureLen);
  ASSERT_TRUE(MlDsa44::sign_deterministic(k.sk, msg, {}, sig).ok());
  ASSERT_TRUE(MlDsa44::verify(k.pk, msg, sig).declassify());
  EXPECT_EQ(MlDsa44::verify(k.pk, msg, sig).unwrap_u8(), 1);

  Bytes short_pk(k.pk.begin(), k.pk.end() - 1), long_pk = k.pk;
  long_pk.push_back(0);
  Bytes short_sig(sig.begin(), sig.end() - 1), long_sig = sig;
  long_sig.push_back(0);
  EXPECT_FALSE(MlDsa44::verify(short_pk, msg, sig).declassify());
  EXPECT_FALSE(MlDsa44::verify(long_pk, msg, sig).declassify());
  EXPECT_FALSE(MlDsa44::verify(k.pk, msg, short_sig).declassify());
  EXPECT_FALSE(MlDsa44::verify(k.pk, msg, long_sig).declassify());
  EXPECT_FALSE(MlDsa44::verify({}, msg, sig).declassify());
  EXPECT_FALSE(MlDsa44::verify(k.pk, msg, {}).declassify());
  EXPECT_EQ(MlDsa44::verify(k.pk, {}, sig).unwrap_u8(), 0);
  for (size_t pos : {size_t{0}, size_t{1000}, MlDsa44::kSignatureLen - 1}) {
    Bytes m = sig;
    m[pos] ^= 0x01;
    EXPECT_FALSE(MlDsa44::verify(k.pk, msg, m).declassify()) << pos;
  }
  const Keys other = derive(Bytes(32, 4));
  EXPECT_FALSE(MlDsa44::verify(other.pk, msg, sig).declassify());
}

}  // namespace
