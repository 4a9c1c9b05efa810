// The ML-DSA-44 post-quantum component: lengths and their errors, hedged,
// with-randomness and deterministic signing, verification as a
// constant-time truth value, against the fips204 vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "node_oracle.hpp"
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
      {31, 2559, 1311, 32, 31},     {33, 2560, 1312, 32, 33},     {0, 2560, 1312, 32, 0},
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

// Secret keys whose s1 or s2 holds a 3-bit value 5, 6 or 7 (a coefficient
// outside [-2, 2]) do not decode: every signing form refuses them with
// ComponentFailure, and so does @noble/post-quantum. s1 fills bytes
// [128, 512) of the key and s2 [512, 896), eight coefficients per three
// bytes, the first in the low bits of a field's first byte and the last in
// the top bits of its last byte. Other bytes (t0 included) may be anything.
struct KeyEdit {
  const char* name;
  size_t byte;
  uint8_t mask, value;  // the bits of `byte` under `mask` become `value`
  bool decodes;
};
const KeyEdit kKeyEdits[] = {
    {"s1 first coefficient 5", 128, 0x07, 0x05, false},
    {"s1 last coefficient 7", 511, 0xE0, 0xE0, false},
    {"s2 first coefficient 6", 512, 0x07, 0x06, false},
    {"s2 last coefficient 5", 895, 0xE0, 0xA0, false},
    {"s2 last coefficient 4 (= -2)", 895, 0xE0, 0x80, true},
    {"t0 all ones", 2559, 0xFF, 0xFF, true},
    {"unchanged", 0, 0x00, 0x00, true},
};

Bytes edited(const Bytes& sk, const KeyEdit& e) {
  Bytes m = sk;
  m[e.byte] = static_cast<uint8_t>((m[e.byte] & ~e.mask) | e.value);
  return m;
}

TEST(MlDsa44Component, SecretKeysWithCoefficientsOutsideEtaDoNotDecode) {
  const Keys k = derive(Bytes(32, 9));
  const Bytes msg = {5};
  const Bytes rnd(32, 0x31);
  for (const KeyEdit& e : kKeyEdits) {
    const Bytes sk = edited(k.sk, e);
    Bytes sig(MlDsa44::kSignatureLen, 0xEE);
    OsRng rng;
    const valtorimesca::CoreStatus results[] = {sign_with_rnd(sk, msg, rnd32(rnd), sig),
                                                MlDsa44::sign_deterministic(sk, msg, {}, sig),
                                                MlDsa44::sign(sk, msg, rng, sig)};
    for (const auto& st : results) {
      if (e.decodes) {
        EXPECT_TRUE(st.ok()) << e.name;
      } else {
        ASSERT_FALSE(st.ok()) << e.name;
        EXPECT_EQ(st.error(), CoreError::component_failure()) << e.name;
      }
    }
    if (e.decodes) {
      // t0 is not checked against the key: a changed t0 still signs, and the
      // signature may fail to verify; the in-range edits keep a real key.
      if (e.byte < 2000) {
        EXPECT_TRUE(MlDsa44::verify(k.pk, msg, sig).declassify()) << e.name;
      }
    } else {
      EXPECT_EQ(sig, Bytes(MlDsa44::kSignatureLen, 0)) << e.name;
    }
  }
  // The all-ones key of the bug report: every s1 and s2 coefficient is 7.
  Bytes ones = k.sk;
  std::fill(ones.begin() + 128, ones.begin() + 512, 0xFF);
  Bytes sig(MlDsa44::kSignatureLen);
  EXPECT_EQ(MlDsa44::sign_deterministic(ones, msg, {}, sig).error(), CoreError::component_failure());
}

TEST(MlDsa44Component, NobleRefusesTheSameSecretKeys) {
  VT_SKIP_WITHOUT_NODE_ORACLES();
  const Keys k = derive(Bytes(32, 9));
  vt_test::json input = vt_test::json::array();
  for (const KeyEdit& e : kKeyEdits) input.push_back({{"sk", vt_test::to_hex(edited(k.sk, e))}, {"msg", "05"}});
  const vt_test::json answer = vt_test::json::parse(vt_test::run_node_oracle("mldsa_noble.mjs", input.dump()));
  ASSERT_EQ(answer.size(), std::size(kKeyEdits));
  for (size_t i = 0; i < answer.size(); ++i) {
    const KeyEdit& e = kKeyEdits[i];
    const bool noble_refused = vt_test::field(answer[i], "refused").get<bool>();
    EXPECT_EQ(noble_refused, !e.decodes) << e.name << ": " << vt_test::string_field(answer[i], "error");
    Bytes sig(MlDsa44::kSignatureLen);
    EXPECT_EQ(!MlDsa44::sign_deterministic(edited(k.sk, e), Bytes{5}, {}, sig).ok(), noble_refused) << e.name;
    if (!e.decodes) {
      EXPECT_NE(vt_test::string_field(answer[i], "error").find("ETA range"), std::string::npos) << e.name;
    }
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
