#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <sodium.h>

#include "test_util.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/ed25519/vrf_impl.hpp"
#include "valtorimesca/suites.hpp"

using namespace valtorimesca;
using namespace ed_test;
namespace edc = valtorimesca::classical::ed25519;
namespace ed = valtorimesca::classical::ed25519::edwards;
namespace vrf = valtorimesca::classical::ed25519::vrf_impl;
using edc::Ed25519;

namespace {

const auto kLabel = suites::label_bytes(suites::kLabelEdMl44);

using Key = KeyPair;

struct Proof {
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 48> proof{};
  bool operator==(const Proof&) const = default;
};

Proof evaluate(const Key& k, std::span<const uint8_t> label, std::span<const uint8_t> input) {
  Proof p;
  EXPECT_TRUE(Ed25519::vrf_evaluate_deterministic(k.sk, label, input, p.pre, p.proof).ok());
  return p;
}

bool verify(std::span<const uint8_t> pk, std::span<const uint8_t> label, std::span<const uint8_t> input,
            std::span<const uint8_t> pre, std::span<const uint8_t> proof) {
  return Ed25519::vrf_verify(pk, label, input, pre, proof).declassify();
}

std::array<uint8_t, 32> make_bytes(std::span<const uint8_t> pk, std::span<const uint8_t> label,
                                   std::span<const uint8_t> input, std::span<const uint8_t> pre,
                                   std::span<const uint8_t> ctx) {
  auto r = Ed25519::vrf_make_bytes(pk, label, input, pre, ctx);
  EXPECT_TRUE(r.ok());
  return r.ok() ? *r : std::array<uint8_t, 32>{};
}

void append_be64(Bytes& out, size_t n) {
  for (int i = 7; i >= 0; --i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
}

Bytes frame(std::span<const uint8_t> label, std::span<const uint8_t> input) {
  Bytes a;
  append_be64(a, label.size());
  a.insert(a.end(), label.begin(), label.end());
  append_be64(a, input.size());
  a.insert(a.end(), input.begin(), input.end());
  return a;
}

TEST(Ecvrf, KnownAnswersWithAlphaAsGiven) {
  const auto& j = vt_test::load_vectors("ecvrf_edwards25519_tai.json");
  const auto& cases = vt_test::field(j, "cases");
  ASSERT_GE(cases.size(), 3u);
  for (const auto& c : cases) {
    const std::string name = vt_test::string_field(c, "name");
    const Key k = derive_key(vt_test::hex_field(c, "sk_hex"));
    EXPECT_EQ(vt_test::to_hex_c(k.pk), vt_test::string_field(c, "pk_hex")) << name;
    const Bytes alpha = vt_test::hex_field(c, "alpha_hex"), pi = vt_test::hex_field(c, "pi_hex");
    ASSERT_EQ(pi.size(), 80u);
    const std::span<const uint8_t> chunks[] = {alpha};
    Proof p;
    ASSERT_TRUE(vrf::prove(k.sk, chunks, p.pre, p.proof).ok()) << name;
    EXPECT_EQ(vt_test::to_hex_c(p.pre) + vt_test::to_hex_c(p.proof), vt_test::to_hex(pi)) << name;
    EXPECT_TRUE(vrf::verify_proof(k.pk, chunks, p.pre, p.proof).declassify()) << name;
    const auto gamma = vrf::string_to_point(p.pre);
    ASSERT_TRUE(gamma.has_value());
    EXPECT_EQ(vt_test::to_hex_c(vrf::proof_to_hash(*gamma)), vt_test::string_field(c, "beta_hex")) << name;
    // Alpha split into chunks hashes the same.
    if (alpha.size() >= 2) {
      const std::span<const uint8_t> split[] = {
          std::span<const uint8_t>(alpha).first(1), std::span<const uint8_t>(alpha).subspan(1), {}};
      Proof q;
      ASSERT_TRUE(vrf::prove(k.sk, split, q.pre, q.proof).ok());
      EXPECT_EQ(p, q) << name;
    }
    // A changed challenge or response fails.
    for (size_t at : {size_t{0}, size_t{15}, size_t{16}, size_t{40}}) {
      auto bad = p.proof;
      bad[at] ^= 0x04;
      EXPECT_FALSE(vrf::verify_proof(k.pk, chunks, p.pre, bad).declassify()) << name << " " << at;
    }
  }
}

TEST(Ecvrf, AdapterFramesLabelAndInput) {
  const Key k = derive_key(vt_test::pseudo_random_bytes(11, 32));
  const auto input = bytes_of("leader election, epoch 7");
  const Proof p = evaluate(k, kLabel, input);
  const Bytes alpha = frame(kLabel, input);
  ASSERT_EQ(alpha.size(), 8 + 26 + 8 + input.size());
  EXPECT_EQ(alpha[7], 26);
  const std::span<const uint8_t> chunks[] = {alpha};
  Proof joined;
  ASSERT_TRUE(vrf::prove(k.sk, chunks, joined.pre, joined.proof).ok());
  EXPECT_EQ(p, joined);
  EXPECT_TRUE(verify(k.pk, kLabel, input, p.pre, p.proof));
  // The hedged entry does not read its generator and gives the same proof.
  component::OsRng os;
  Proof hedged;
  ASSERT_TRUE(Ed25519::vrf_evaluate(k.sk, kLabel, input, os, hedged.pre, hedged.proof).ok());
  EXPECT_EQ(hedged, p);
  // Another label or input changes both parts and does not verify.
  const Proof other_label = evaluate(k, suites::label_bytes(suites::kLabelEdSh), input);
  const Proof other_input = evaluate(k, kLabel, bytes_of("leader election, epoch 8"));
  for (const Proof* o : {&other_label, &other_input}) {
    EXPECT_NE(o->pre, p.pre);
    EXPECT_NE(o->proof, p.proof);
  }
  EXPECT_FALSE(verify(k.pk, suites::label_bytes(suites::kLabelEdSh), input, p.pre, p.proof));
  // Framing is unambiguous: ("ab", "c") and ("a", "bc").
  const Proof ab_c = evaluate(k, bytes_of("ab"), bytes_of("c"));
  const Proof a_bc = evaluate(k, bytes_of("a"), bytes_of("bc"));
  EXPECT_NE(ab_c.pre, a_bc.pre);
  EXPECT_NE(ab_c.proof, a_bc.proof);
  EXPECT_NE(make_bytes(k.pk, bytes_of("ab"), bytes_of("c"), ab_c.pre, {}),
            make_bytes(k.pk, bytes_of("a"), bytes_of("bc"), a_bc.pre, {}));
}

TEST(Ecvrf, DeterministicAndIndependentOfThePublicHalf) {
  const Key k = derive_key(vt_test::pseudo_random_bytes(12, 32));
  const auto input = bytes_of("x");
  const Proof a = evaluate(k, kLabel, input), b = evaluate(k, kLabel, input);
  EXPECT_EQ(a, b);
  Key altered = k;
  for (size_t i = 32; i < 64; ++i) altered.sk[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(evaluate(altered, kLabel, input), a);
}

TEST(Ecvrf, EvaluationChecksLengthsInOrder) {
  const Key k = derive_key(vt_test::pseudo_random_bytes(13, 32));
  std::array<uint8_t, 64> big{};
  std::array<uint8_t, 32> pre{};
  std::array<uint8_t, 48> proof{};
  auto r = Ed25519::vrf_evaluate_deterministic(std::span<const uint8_t>(k.sk.data(), 63), kLabel, {},
                                               std::span<uint8_t>(big.data(), 31), proof);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(64, 63));
  r = Ed25519::vrf_evaluate_deterministic(k.sk, kLabel, {}, std::span<uint8_t>(big.data(), 33), proof);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(32, 33));
  r = Ed25519::vrf_evaluate_deterministic(k.sk, kLabel, {}, pre, std::span<uint8_t>(big.data(), 47));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(48, 47));
  for (uint8_t b : pre) EXPECT_EQ(b, 0);
}

TEST(Ecvrf, VerificationRefusesMalformedInput) {
  const Key k = derive_key(vt_test::pseudo_random_bytes(14, 32));
  const auto input = bytes_of("input");
  const Proof p = evaluate(k, kLabel, input);
  ASSERT_TRUE(verify(k.pk, kLabel, input, p.pre, p.proof));

  Bytes proof49(p.proof.begin(), p.proof.end()), pk33(k.pk.begin(), k.pk.end()), pre33(p.pre.begin(), p.pre.end());
  proof49.push_back(0);
  pk33.push_back(0);
  pre33.push_back(0);
  EXPECT_FALSE(verify(k.pk, kLabel, input, p.pre, std::span<const uint8_t>(p.proof.data(), 47)));
  EXPECT_FALSE(verify(k.pk, kLabel, input, p.pre, proof49));
  EXPECT_FALSE(verify(std::span<const uint8_t>(k.pk.data(), 31), kLabel, input, p.pre, p.proof));
  EXPECT_FALSE(verify(pk33, kLabel, input, p.pre, p.proof));
  EXPECT_FALSE(verify(k.pk, kLabel, input, pre33, p.proof));

  // s + l is refused even though it is the same residue.
  Scalar s;
  std::copy(p.proof.begin() + 16, p.proof.end(), s.begin());
  const Scalar s_plus_l = add_le(s, group_order());
  auto bad = p.proof;
  std::copy(s_plus_l.begin(), s_plus_l.end(), bad.begin() + 16);
  EXPECT_FALSE(verify(k.pk, kLabel, input, p.pre, bad));

  // A changed pre-output fails.
  auto pre = p.pre;
  pre[0] ^= 1;
  EXPECT_FALSE(verify(k.pk, kLabel, input, pre, p.proof));
}

TEST(Ecvrf, SmallOrderAndNonCanonicalKeysAreRefused) {
  const Key k = derive_key(vt_test::pseudo_random_bytes(15, 32));
  const auto input = bytes_of("input");
  const Proof p = evaluate(k, kLabel, input);
  for (const Encoding& t : torsion_points_from_vectors()) {
    EXPECT_FALSE(verify(t, kLabel, input, p.pre, p.proof));
    auto r = Ed25519::vrf_make_bytes(t, kLabel, input, p.pre, {});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), CoreError::component_failure());
  }
  // A key whose y is written unreduced (y + p, possible when y < 19) names a
  // decodable point, yet is not canonical.
  for (unsigned low = 2; low < 19; ++low) {
    Encoding reduced{}, unreduced;
    reduced[0] = static_cast<uint8_t>(low);
    if (!ed::decode_relaxed(reduced)) continue;
    unreduced.fill(0xff);
    unreduced[0] = static_cast<uint8_t>(0xed + low);
    unreduced[31] = 0x7f;
    EXPECT_FALSE(verify(unreduced, kLabel, input, p.pre, p.proof));
    EXPECT_FALSE(Ed25519::vrf_make_bytes(unreduced, kLabel, input, p.pre, {}).ok());
    // ... and the same encoding as a pre-output.
    EXPECT_FALSE(verify(k.pk, kLabel, input, unreduced, p.proof));
    EXPECT_FALSE(Ed25519::vrf_make_bytes(k.pk, kLabel, input, unreduced, {}).ok());
    EXPECT_TRUE(Ed25519::vrf_make_bytes(k.pk, kLabel, input, reduced, {}).ok());
  }
  // The identity with its sign bit set is not canonical either.
  const Encoding neg_id = enc_hex("0100000000000000000000000000000000000000000000000000000000000080");
  EXPECT_FALSE(Ed25519::vrf_make_bytes(k.pk, kLabel, input, neg_id, {}).ok());
  EXPECT_FALSE(Ed25519::vrf_make_bytes(k.pk, kLabel, input, std::span<const uint8_t>(p.pre.data(), 31), {}).ok());
  const Encoding off_curve = enc_hex("0200000000000000000000000000000000000000000000000000000000000000");
  EXPECT_FALSE(Ed25519::vrf_make_bytes(off_curve, kLabel, input, p.pre, {}).ok());
}

// HKDF-SHA512 from OpenSSL as an independent oracle for the output bytes.
std::array<uint8_t, 32> openssl_hkdf(std::span<const uint8_t> salt, std::span<const uint8_t> ikm,
                                     std::span<const uint8_t> info) {
  std::array<uint8_t, 32> out{};
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr);
  size_t len = out.size();
  const bool ok = ctx != nullptr && EVP_PKEY_derive_init(ctx) > 0 && EVP_PKEY_CTX_set_hkdf_md(ctx, EVP_sha512()) > 0 &&
                  EVP_PKEY_CTX_set1_hkdf_salt(ctx, salt.data(), static_cast<int>(salt.size())) > 0 &&
                  EVP_PKEY_CTX_set1_hkdf_key(ctx, ikm.data(), static_cast<int>(ikm.size())) > 0 &&
                  EVP_PKEY_CTX_add1_hkdf_info(ctx, info.data(), static_cast<int>(info.size())) > 0 &&
                  EVP_PKEY_derive(ctx, out.data(), &len) > 0;
  EVP_PKEY_CTX_free(ctx);
  EXPECT_TRUE(ok);
  return out;
}

TEST(Ecvrf, OutputBytesAreHkdfOverTheVrfHash) {
  const Key k = derive_key(vt_test::pseudo_random_bytes(16, 32));
  const auto input = bytes_of("randomness beacon");
  const Proof p = evaluate(k, kLabel, input);
  const std::string salt_text = "valtorimesca/ovrf-cobalt25/fold-octet/v1";
  Bytes salt(salt_text.begin(), salt_text.end());
  salt.push_back(0);
  ASSERT_EQ(salt.size(), 41u);
  const auto beta = vrf::proof_to_hash(*vrf::string_to_point(p.pre));
  for (const std::string ctx : {"leadership", "randomness", ""}) {
    Bytes info = frame(kLabel, input);
    append_be64(info, ctx.size());
    info.insert(info.end(), ctx.begin(), ctx.end());
    EXPECT_EQ(make_bytes(k.pk, kLabel, input, p.pre, bytes_of(ctx)), openssl_hkdf(salt, beta, info)) << ctx;
  }
  EXPECT_NE(make_bytes(k.pk, kLabel, input, p.pre, bytes_of("leadership")),
            make_bytes(k.pk, kLabel, input, p.pre, bytes_of("randomness")));
  // The key is checked but not hashed: another valid key gives the same bytes.
  const Key other = derive_key(vt_test::pseudo_random_bytes(17, 32));
  EXPECT_EQ(make_bytes(other.pk, kLabel, input, p.pre, {}), make_bytes(k.pk, kLabel, input, p.pre, {}));
  // Any decodable pre-output gives bytes, proof or not, including small-order ones.
  for (const Encoding& t : torsion_points_from_vectors()) {
    if (ed::decode_canonical(t)) {
      EXPECT_TRUE(Ed25519::vrf_make_bytes(k.pk, kLabel, input, t, {}).ok());
    }
  }
  const Encoding b = ed::mul_base(random_scalar(18)).bytes();
  EXPECT_TRUE(Ed25519::vrf_make_bytes(k.pk, kLabel, input, b, {}).ok());
}

TEST(Ecvrf, ProofsOfManyKeysVerifyAndDoNotTransfer) {
  for (uint64_t i = 0; i < 12; ++i) {
    const Key k = derive_key(vt_test::pseudo_random_bytes(500 + i, 32));
    const Bytes input = vt_test::pseudo_random_bytes(600 + i, i * 7);
    const Proof p = evaluate(k, kLabel, input);
    EXPECT_TRUE(verify(k.pk, kLabel, input, p.pre, p.proof)) << i;
    const Key other = derive_key(vt_test::pseudo_random_bytes(700 + i, 32));
    EXPECT_FALSE(verify(other.pk, kLabel, input, p.pre, p.proof)) << i;
    Bytes changed = input;
    changed.push_back(0);
    EXPECT_FALSE(verify(k.pk, kLabel, changed, p.pre, p.proof)) << i;
  }
}

}  // namespace
