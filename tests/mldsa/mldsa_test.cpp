// ML-DSA-44 primitive: arithmetic against direct definitions, the shared
// fips204 vectors, the NIST ACVP vectors, and signature decoding rules.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "internal.hpp"
#include "mldsa/mldsa.hpp"
#include "vectors.hpp"

namespace {

using namespace mldsa::detail;
using Bytes = std::vector<uint8_t>;

int64_t mod_q(int64_t a) {
  a %= kQ;
  return a < 0 ? a + kQ : a;
}

// a mod+- alpha in (-alpha/2, alpha/2] for even alpha.
int64_t mod_pm(int64_t a, int64_t alpha) {
  int64_t r = a % alpha;
  if (r < 0) r += alpha;
  if (r > alpha / 2) r -= alpha;
  return r;
}

TEST(MlDsaArith, DecomposeMatchesDefinitionForEveryResidue) {
  for (int32_t a = 0; a < kQ; ++a) {
    int64_t r0 = mod_pm(a, 2 * kGamma2);
    int64_t r1;
    if (a - r0 == kQ - 1) {
      r1 = 0;
      r0 -= 1;
    } else {
      r1 = (a - r0) / (2 * kGamma2);
    }
    int32_t g1, g0;
    decompose(a, g1, g0);
    ASSERT_EQ(g1, r1) << a;
    ASSERT_EQ(g0, r0) << a;
  }
}

TEST(MlDsaArith, Power2RoundMatchesDefinitionForEveryResidue) {
  for (int32_t a = 0; a < kQ; ++a) {
    const int64_t r0 = mod_pm(a, 1 << kD);
    int32_t g1, g0;
    power2round(a, g1, g0);
    ASSERT_EQ(g0, r0) << a;
    ASSERT_EQ(g1, (a - r0) >> kD) << a;
  }
}

TEST(MlDsaArith, UseHintMovesToTheNeighbouringHighPart) {
  for (int32_t a = 0; a < kQ; a += 977) {
    int32_t a1, a0;
    decompose(a, a1, a0);
    EXPECT_EQ(use_hint(a, 0), a1);
    const int32_t expect = a0 > 0 ? (a1 + 1) % 44 : (a1 + 43) % 44;
    EXPECT_EQ(use_hint(a, 1), expect);
  }
}

TEST(MlDsaArith, NttProductEqualsNegacyclicSchoolbookProduct) {
  const Bytes ra = vt_test::pseudo_random_bytes(1, 4 * kN);
  const Bytes rb = vt_test::pseudo_random_bytes(2, 4 * kN);
  Poly a, b;
  for (int i = 0; i < kN; ++i) {
    uint32_t x, y;
    std::memcpy(&x, &ra[4 * i], 4);
    std::memcpy(&y, &rb[4 * i], 4);
    a.c[i] = static_cast<int32_t>(x % (2 * kQ - 1)) - (kQ - 1);  // (-q, q)
    b.c[i] = static_cast<int32_t>(y % 5) - 2;
  }
  std::vector<int64_t> want(kN, 0);
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j) {
      const int64_t p = static_cast<int64_t>(a.c[i]) * b.c[j];
      if (i + j < kN) want[i + j] += p;
      else want[i + j - kN] -= p;
    }
  Poly ah = a, bh = b, r;
  ntt(ah);
  ntt(bh);
  pointwise_mont(r, ah, bh);
  invntt_tomont(r);
  for (int i = 0; i < kN; ++i) ASSERT_EQ(mod_q(r.c[i]), mod_q(want[i])) << i;
}

// The AVX2 transforms give the same representatives as the portable ones,
// over random inputs and the extremes of the permitted range.
TEST(MlDsaArith, Avx2TransformsEqualPortableOnes) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
  for (uint64_t t = 0; t < 200; ++t) {
    const Bytes r = vt_test::pseudo_random_bytes(100 + t, 4 * kN);
    Poly a;
    for (int i = 0; i < kN; ++i) {
      uint32_t x;
      std::memcpy(&x, &r[4 * i], 4);
      a.c[i] = static_cast<int32_t>(x % (2 * kQ - 1)) - (kQ - 1);
      if (t == 0) a.c[i] = kQ - 1;
      if (t == 1) a.c[i] = -(kQ - 1);
    }
    Poly p = a, v = a;
    ntt_portable(p);
    ntt_avx2(v, zetas_for_tests());
    ASSERT_EQ(std::memcmp(p.c, v.c, sizeof p.c), 0) << t;
    p = a;
    v = a;
    invntt_portable(p);
    invntt_avx2(v, zetas_for_tests(), inv_scale_for_tests());
    ASSERT_EQ(std::memcmp(p.c, v.c, sizeof p.c), 0) << t;
  }
}

TEST(MlDsaArith, NormCheckSeesEveryCoefficient) {
  Poly p[2] = {};
  EXPECT_EQ(exceeds_norm(p, 2, 5), 0u);
  p[1].c[255] = -5;
  EXPECT_EQ(exceeds_norm(p, 2, 5), 1u);
  EXPECT_EQ(exceeds_norm(p, 2, 6), 0u);
  p[0].c[0] = 6;
  EXPECT_EQ(exceeds_norm(p, 1, 6), 1u);
}

TEST(MlDsaArith, SampleInBallHasTauSignedOnes) {
  uint8_t seed[kCTildeBytes];
  for (int t = 0; t < 32; ++t) {
    for (size_t i = 0; i < kCTildeBytes; ++i) seed[i] = static_cast<uint8_t>(t * 31 + i);
    Poly c;
    sample_in_ball(c, seed);
    int nonzero = 0;
    for (int i = 0; i < kN; ++i) {
      ASSERT_TRUE(c.c[i] >= -1 && c.c[i] <= 1);
      nonzero += c.c[i] != 0;
    }
    EXPECT_EQ(nonzero, kTau);
  }
}

// ---- shared fips204 vectors ----

template <size_t N>
std::span<const uint8_t, N> fixed(const Bytes& b) {
  EXPECT_EQ(b.size(), N);
  return std::span<const uint8_t, N>(b.data(), N);
}

void check_fips204_vectors();

TEST(MlDsaVectors, KeygenSignVerifyMatchFips204) { check_fips204_vectors(); }

TEST(MlDsaVectors, PortableTransformsMatchFips204) {
  force_portable_arith(true);
  EXPECT_STREQ(arith_backend(), "portable");
  check_fips204_vectors();
  force_portable_arith(false);
}

void check_fips204_vectors() {
  const auto& doc = vt_test::load_vectors("ml_dsa_44.json");
  const auto& cases = vt_test::field(doc, "cases");
  ASSERT_FALSE(cases.empty());
  const Bytes zero(32, 0);
  for (const auto& c : cases) {
    const Bytes xi = vt_test::hex_field(vt_test::field(c, "xi"), "hex");
    Bytes pk(mldsa::kPublicKeyBytes), sk(mldsa::kSecretKeyBytes);
    mldsa::keygen(fixed<32>(xi), std::span<uint8_t, 1312>(pk), std::span<uint8_t, 2560>(sk));
    ASSERT_EQ(vt_test::to_hex(pk), vt_test::string_field(c, "public_key_hex"));
    ASSERT_EQ(vt_test::to_hex(sk), vt_test::string_field(c, "private_key_hex"));

    for (const auto& s : vt_test::field(c, "signatures")) {
      const Bytes msg = vt_test::hex_field(s, "message_hex");
      const Bytes ctx = vt_test::hex_field(s, "ctx_hex");
      const Bytes rnd = vt_test::hex_field(vt_test::field(s, "rnd"), "hex");
      const Bytes want = vt_test::hex_field(s, "signature_hex");
      Bytes sig(mldsa::kSignatureBytes);
      std::span<uint8_t, 2420> out(sig);
      ASSERT_EQ(mldsa::sign(fixed<2560>(sk), msg, ctx, fixed<32>(rnd), out), mldsa::SignStatus::Ok);
      EXPECT_EQ(vt_test::to_hex(sig), vt_test::to_hex(want));
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), msg, ctx, fixed<2420>(sig)),
                vt_test::field(s, "verifies").get<bool>());
      if (!ctx.empty()) {
        EXPECT_FALSE(mldsa::verify(fixed<1312>(pk), msg, {}, fixed<2420>(sig)));
        continue;
      }
      // The same signature through the internal interface over M'.
      const Bytes m_prime = vt_test::hex_field(
          s, "m_prime_hex (0x00 || len(ctx) || ctx || M, input of ML-DSA.Sign_internal)");
      Bytes sig2(mldsa::kSignatureBytes);
      ASSERT_EQ(mldsa::sign_internal(fixed<2560>(sk), m_prime, fixed<32>(rnd),
                                     std::span<uint8_t, 2420>(sig2)),
                mldsa::SignStatus::Ok);
      EXPECT_EQ(sig2, sig);
      EXPECT_TRUE(mldsa::verify_internal(fixed<1312>(pk), m_prime, fixed<2420>(sig)));

      const Bytes want0 = vt_test::hex_field(s, "signature_rnd_zero_hex");
      ASSERT_EQ(mldsa::sign(fixed<2560>(sk), msg, {}, fixed<32>(zero), out), mldsa::SignStatus::Ok);
      EXPECT_EQ(vt_test::to_hex(sig), vt_test::to_hex(want0));
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), msg, {}, fixed<2420>(sig)),
                vt_test::field(s, "signature_rnd_zero_verifies").get<bool>());

      Bytes longer = msg;
      longer.push_back(0);
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), longer, {}, fixed<2420>(sig)),
                vt_test::field(s, "verifies_with_message_plus_00").get<bool>());
      const uint8_t ctx78[1] = {0x78};
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), msg, ctx78, fixed<2420>(sig)),
                vt_test::field(s, "verifies_with_ctx_78").get<bool>());
    }
  }
}

// ---- NIST ACVP (internal interface: the message is M') ----

const vt_test::json& acvp() {
  static const vt_test::json doc = [] {
    std::ifstream f(std::string(MLDSA_TEST_DATA) + "/acvp_ml_dsa_44.json");
    if (!f) throw std::runtime_error("missing acvp_ml_dsa_44.json");
    return vt_test::json::parse(f);
  }();
  return doc;
}

TEST(MlDsaAcvp, KeyGen) {
  const auto& tests = vt_test::field(acvp(), "keyGen");
  ASSERT_EQ(tests.size(), 25u);
  for (const auto& t : tests) {
    const Bytes seed = vt_test::hex_field(t, "seed");
    Bytes pk(mldsa::kPublicKeyBytes), sk(mldsa::kSecretKeyBytes);
    mldsa::keygen(fixed<32>(seed), std::span<uint8_t, 1312>(pk), std::span<uint8_t, 2560>(sk));
    EXPECT_EQ(vt_test::to_hex(pk), vt_test::string_field(t, "pk")) << t["tcId"];
    EXPECT_EQ(vt_test::to_hex(sk), vt_test::string_field(t, "sk")) << t["tcId"];
  }
}

TEST(MlDsaAcvp, SigGen) {
  const auto& tests = vt_test::field(acvp(), "sigGen");
  ASSERT_EQ(tests.size(), 20u);
  for (const auto& t : tests) {
    const Bytes sk = vt_test::hex_field(t, "sk");
    const Bytes msg = vt_test::hex_field(t, "message");
    const Bytes rnd = vt_test::hex_field(t, "rnd");
    Bytes sig(mldsa::kSignatureBytes);
    ASSERT_EQ(mldsa::sign_internal(fixed<2560>(sk), msg, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
              mldsa::SignStatus::Ok);
    EXPECT_EQ(vt_test::to_hex(sig), vt_test::string_field(t, "signature")) << t["tcId"];
  }
}

TEST(MlDsaAcvp, SigVer) {
  const auto& tests = vt_test::field(acvp(), "sigVer");
  ASSERT_EQ(tests.size(), 15u);
  for (const auto& t : tests) {
    const Bytes pk = vt_test::hex_field(t, "pk");
    const Bytes msg = vt_test::hex_field(t, "message");
    const Bytes sig = vt_test::hex_field(t, "signature");
    EXPECT_EQ(mldsa::verify_internal(fixed<1312>(pk), msg, fixed<2420>(sig)),
              vt_test::field(t, "testPassed").get<bool>())
        << t["tcId"] << " " << t["reason"];
  }
}

}  // namespace

namespace {

// ---- rejection bound, decoding rules, interface edges ----

struct KeyPair {
  Bytes pk = Bytes(mldsa::kPublicKeyBytes);
  Bytes sk = Bytes(mldsa::kSecretKeyBytes);
};

KeyPair keypair(uint64_t seed_id) {
  const Bytes xi = vt_test::pseudo_random_bytes(seed_id, 32);
  KeyPair kp;
  mldsa::keygen(fixed<32>(xi), std::span<uint8_t, 1312>(kp.pk), std::span<uint8_t, 2560>(kp.sk));
  return kp;
}

Bytes sign_ok(const Bytes& sk, const Bytes& msg, const Bytes& rnd) {
  Bytes sig(mldsa::kSignatureBytes);
  EXPECT_EQ(mldsa::sign(fixed<2560>(sk), msg, {}, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
            mldsa::SignStatus::Ok);
  return sig;
}

TEST(MlDsaSign, AttemptBoundStopsWithZeroedOutputAndLeavesResultUnchanged) {
  const KeyPair kp = keypair(7);
  const Bytes rnd(32, 0x5A);
  int multi_attempt_cases = 0;
  for (uint8_t m = 0; m < 16; ++m) {
    const Bytes m_prime = {0x00, 0x00, m};
    Bytes want(mldsa::kSignatureBytes);
    ASSERT_EQ(mldsa::sign_internal(fixed<2560>(kp.sk), m_prime, fixed<32>(rnd),
                                   std::span<uint8_t, 2420>(want)),
              mldsa::SignStatus::Ok);
    uint32_t needed = 1;
    Bytes sig(mldsa::kSignatureBytes, 0xEE);
    while (sign_internal_limited(fixed<2560>(kp.sk), m_prime, fixed<32>(rnd),
                                 std::span<uint8_t, 2420>(sig), needed) != mldsa::SignStatus::Ok) {
      EXPECT_EQ(sig, Bytes(mldsa::kSignatureBytes, 0));
      ++needed;
      ASSERT_LT(needed, 200u);
    }
    EXPECT_EQ(sig, want);
    if (needed > 1) ++multi_attempt_cases;
  }
  EXPECT_GT(multi_attempt_cases, 0);
}

TEST(MlDsaSign, ContextOver255BytesIsRefused) {
  const KeyPair kp = keypair(8);
  const Bytes rnd(32, 1), ctx255(255, 0x33), ctx256(256, 0x33), msg = {1, 2, 3};
  Bytes sig(mldsa::kSignatureBytes, 0xEE);
  EXPECT_EQ(mldsa::sign(fixed<2560>(kp.sk), msg, ctx256, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
            mldsa::SignStatus::ContextTooLong);
  EXPECT_EQ(sig, Bytes(mldsa::kSignatureBytes, 0xEE));
  ASSERT_EQ(mldsa::sign(fixed<2560>(kp.sk), msg, ctx255, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
            mldsa::SignStatus::Ok);
  EXPECT_TRUE(mldsa::verify(fixed<1312>(kp.pk), msg, ctx255, fixed<2420>(sig)));
  EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, ctx256, fixed<2420>(sig)));
  // The pure interface is the internal one over 0x00 || 255 || ctx || msg.
  Bytes m_prime = {0x00, 0xFF};
  m_prime.insert(m_prime.end(), ctx255.begin(), ctx255.end());
  m_prime.insert(m_prime.end(), msg.begin(), msg.end());
  EXPECT_TRUE(mldsa::verify_internal(fixed<1312>(kp.pk), m_prime, fixed<2420>(sig)));
}

// Secret keys whose packed s1/s2 fields hold 5..7 (coefficients -3..-5)
// still decode and sign, as in fips204; the result does not verify.
TEST(MlDsaSign, OutOfRangeSecretCoefficientsStillSign) {
  const KeyPair kp = keypair(9);
  Bytes bad = kp.sk;
  for (size_t i = kSkS1Offset; i < kSkT0Offset; ++i) bad[i] = 0xFF;
  const Bytes rnd(32, 0), msg = {9};
  const Bytes sig = sign_ok(bad, msg, rnd);
  EXPECT_EQ(sign_ok(bad, msg, rnd), sig);
  EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(sig)));
  const Bytes all_ff(mldsa::kSecretKeyBytes, 0xFF);
  sign_ok(all_ff, msg, rnd);
}

// Hint-field encodings that FIPS 204's HintBitUnpack refuses.
TEST(MlDsaVerify, MalformedHintsAreRefused) {
  const KeyPair kp = keypair(10);
  const Bytes msg = {4, 5, 6}, rnd(32, 2);
  const Bytes sig = sign_ok(kp.sk, msg, rnd);
  ASSERT_TRUE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(sig)));
  const size_t counts = kSigHintOffset + kOmega;
  const uint8_t total = sig[counts + kK - 1];
  ASSERT_GE(total, 2);
  ASSERT_LT(total, kOmega);

  struct Case {
    const char* what;
    void (*mutate)(Bytes&, size_t counts, uint8_t total);
  };
  const Case cases[] = {
      {"count above omega", [](Bytes& s, size_t c, uint8_t) { s[c + kK - 1] = kOmega + 1; }},
      {"counts decreasing",
       [](Bytes& s, size_t c, uint8_t) {
         s[c + 1] = static_cast<uint8_t>(s[c] - 1);
         if (s[c] == 0) s[c] = 1, s[c + 1] = 0;
       }},
      {"nonzero padding", [](Bytes& s, size_t, uint8_t t) { s[kSigHintOffset + t] = 1; }},
      {"indices not increasing",
       [](Bytes& s, size_t, uint8_t) { s[kSigHintOffset + 1] = s[kSigHintOffset]; }},
  };
  for (const auto& c : cases) {
    Bytes m = sig;
    c.mutate(m, counts, total);
    EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(m))) << c.what;
  }
}

TEST(MlDsaVerify, LargeZIsRefusedAndEveryRegionIsBound) {
  const KeyPair kp = keypair(11);
  const Bytes msg = {7}, rnd(32, 3);
  const Bytes sig = sign_ok(kp.sk, msg, rnd);
  // z coefficient 0 packed as gamma1 - z = 0: z = gamma1, over the bound.
  Bytes m = sig;
  m[kSigZOffset] = 0;
  m[kSigZOffset + 1] = 0;
  m[kSigZOffset + 2] &= 0xFC;
  EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(m)));
  // One flipped bit anywhere in c~, z, or the hint indices, or in the key.
  for (size_t pos : {size_t{0}, size_t{31}, kSigZOffset + 100, kSigHintOffset - 1}) {
    Bytes f = sig;
    f[pos] ^= 0x10;
    EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(f))) << pos;
  }
  for (size_t pos : {size_t{0}, size_t{40}, mldsa::kPublicKeyBytes - 1}) {
    Bytes pk = kp.pk;
    pk[pos] ^= 1;
    EXPECT_FALSE(mldsa::verify(fixed<1312>(pk), msg, {}, fixed<2420>(sig))) << pos;
  }
}

}  // namespace
