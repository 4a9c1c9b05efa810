// The VRF entry points of the suite ABI for the stateless suites, and the
// length rules of verification and output derivation for all six.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateless_suites.hpp"
#include "valtorimesca_abi/vrf.hpp"

namespace {

using namespace valtorimesca_abi;
using Bytes = std::vector<uint8_t>;

constexpr SuiteCode kStateless[] = {SuiteCode::ED_ML_44, SuiteCode::ED_FN_512, SuiteCode::SR_ML_44,
                                    SuiteCode::SR_FN_512};

template <class T>
uint8_t code_of(const AbiResult<T>& s) {
  return s ? 0 : code(s.error());
}

bool is_sr(SuiteCode c) { return c == SuiteCode::SR_ML_44 || c == SuiteCode::SR_FN_512 || c == SuiteCode::SR_SH; }
bool has_delta(SuiteCode c) { return c == SuiteCode::ED_FN_512 || c == SuiteCode::SR_FN_512; }
size_t header_of(SuiteCode c) { return is_sr(c) ? 96 : 80; }

struct Keys {
  Bytes sk, pk;
};

Keys keys_of(SuiteCode c, uint8_t fill = 0x42) {
  const auto z = sizes(c);
  Keys k{Bytes(z.secret_key), Bytes(z.public_key)};
  EXPECT_TRUE(stateless_suites::keygen_from_seed(c, Bytes(32, fill), k.sk, k.pk).ok());
  return k;
}

Bytes prove(SuiteCode c, const Bytes& sk, const Bytes& input, bool deterministic) {
  Bytes out(vrf::vrf_proof_len(c));
  auto n = deterministic ? vrf::vrf_prove_deterministic(c, sk, input, out) : vrf::vrf_prove(c, sk, input, out);
  EXPECT_TRUE(n.ok());
  if (!n) return {};
  EXPECT_EQ(*n, out.size());
  return out;
}

vrf::Output bytes_of(SuiteCode c, const Bytes& pk, const Bytes& input, const Bytes& proof, const Bytes& ctx) {
  vrf::Output out{};
  EXPECT_TRUE(vrf::vrf_make_bytes(c, pk, input, proof, ctx, out).ok());
  return out;
}

TEST(VrfAbi, ProofLengths) {
  const size_t expect[] = {2500, 747, 2516, 763, 29172, 29188};
  for (uint8_t c = 1; c <= 6; ++c) EXPECT_EQ(vrf::vrf_proof_len(static_cast<SuiteCode>(c)), expect[c - 1]);
}

TEST(VrfAbi, StatefulSuitesAreRefusedBeforeAnyArgument) {
  Bytes out(40000);
  for (SuiteCode c : {SuiteCode::ED_SH, SuiteCode::SR_SH}) {
    EXPECT_EQ(code_of(vrf::vrf_prove(c, {}, {}, out)), 16);
    EXPECT_EQ(code_of(vrf::vrf_prove_deterministic(c, {}, {}, out)), 16);
  }
}

TEST(VrfAbi, ProofsVerifyAndAgreeOnTheOutput) {
  const Bytes input = {'e', 'p', 'o', 'c', 'h'};
  for (SuiteCode c : kStateless) {
    SCOPED_TRACE(static_cast<int>(c));
    const Keys k = keys_of(c);
    const Bytes d1 = prove(c, k.sk, input, true), d2 = prove(c, k.sk, input, true);
    const Bytes h1 = prove(c, k.sk, input, false), h2 = prove(c, k.sk, input, false);
    EXPECT_EQ(d1, d2);
    if (is_sr(c)) {
      // Only the sr25519 witness is fresh: bytes 32..96.
      EXPECT_NE(h1, h2);
      EXPECT_TRUE(std::equal(h1.begin(), h1.begin() + 32, h2.begin()));
      EXPECT_TRUE(std::equal(h1.begin() + 96, h1.end(), h2.begin() + 96));
    } else {
      EXPECT_EQ(h1, h2);
      EXPECT_EQ(h1, d1);
    }
    if (has_delta(c)) {
      EXPECT_EQ(d1[header_of(c)], 255);
    }
    for (const Bytes* p : {&d1, &h1, &h2}) EXPECT_TRUE(vrf::vrf_verify(c, k.pk, input, *p));
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, Bytes{'e'}, d1));
    EXPECT_FALSE(vrf::vrf_verify(c, keys_of(c, 0x43).pk, input, d1));

    const Bytes lead = {'l', 'e', 'a', 'd', 'e', 'r', 's', 'h', 'i', 'p'};
    const Bytes rand = {'r', 'a', 'n', 'd', 'o', 'm', 'n', 'e', 's', 's'};
    const auto out = bytes_of(c, k.pk, input, d1, lead);
    EXPECT_EQ(bytes_of(c, k.pk, input, h1, lead), out);
    EXPECT_EQ(bytes_of(c, k.pk, input, h2, lead), out);
    EXPECT_NE(bytes_of(c, k.pk, input, d1, rand), out);
    EXPECT_NE(bytes_of(c, k.pk, Bytes{'e'}, d1, lead), out);
    // Only the header is read, and only the first 32 bytes of the key.
    const Bytes head(d1.begin(), d1.begin() + header_of(c));
    const Bytes pk32(k.pk.begin(), k.pk.begin() + 32);
    EXPECT_EQ(bytes_of(c, pk32, input, head, lead), out);
  }
}

TEST(VrfAbi, EveryRegionOfAProofIsBound) {
  const Bytes input = {'x'};
  for (SuiteCode c : kStateless) {
    SCOPED_TRACE(static_cast<int>(c));
    const Keys k = keys_of(c);
    const Bytes proof = prove(c, k.sk, input, true);
    const size_t h = header_of(c);
    std::vector<size_t> at = {0, 31, 32, h - 1, h, proof.size() - 1};
    if (has_delta(c)) at.push_back(h + 1);
    for (size_t i : at) {
      Bytes bad = proof;
      bad[i] ^= 0x01;
      EXPECT_FALSE(vrf::vrf_verify(c, k.pk, input, bad)) << "byte " << i;
    }
    Bytes longer = proof;
    longer.push_back(0);
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, input, longer));
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, input, Bytes(proof.begin(), proof.end() - 1)));
    EXPECT_FALSE(vrf::vrf_verify(c, Bytes(k.pk.begin(), k.pk.end() - 1), input, proof));
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, input, {}));
    EXPECT_FALSE(vrf::vrf_verify(c, {}, input, proof));
    // A proof of one suite is not one of another, even with a key of that suite.
    for (SuiteCode other : kStateless) {
      if (other != c) {
        EXPECT_FALSE(vrf::vrf_verify(other, keys_of(other).pk, input, proof));
      }
    }
  }
}

TEST(VrfAbi, DeltaByteMustMatchTheLength) {
  for (SuiteCode c : {SuiteCode::ED_FN_512, SuiteCode::SR_FN_512}) {
    const Keys k = keys_of(c);
    Bytes proof = prove(c, k.sk, {}, true);
    const size_t h = header_of(c);
    proof[h] = 254;
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, {}, proof));
    proof.pop_back();  // now the declared length, but the signature is cut
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, {}, proof));
    EXPECT_FALSE(vrf::vrf_verify(c, k.pk, {}, Bytes(h)));
  }
}

TEST(VrfAbi, ProveChecksKeyThenBuffer) {
  for (SuiteCode c : kStateless) {
    SCOPED_TRACE(static_cast<int>(c));
    const Keys k = keys_of(c);
    const size_t n = vrf::vrf_proof_len(c);
    for (bool det : {false, true}) {
      auto call = [&](const Bytes& sk, Bytes& out) {
        return det ? vrf::vrf_prove_deterministic(c, sk, {}, out) : vrf::vrf_prove(c, sk, {}, out);
      };
      Bytes tiny(3);
      EXPECT_EQ(code_of(call(Bytes(k.sk.size() - 1), tiny)), 1);
      EXPECT_EQ(code_of(call(Bytes(k.sk.size() + 1), tiny)), 1);
      Bytes short_buf(n - 1, 0x5A);
      EXPECT_EQ(code_of(call(k.sk, short_buf)), 3);
      EXPECT_EQ(short_buf, Bytes(n - 1, 0x5A));
      Bytes wide(n + 9, 0x5A);
      auto r = call(k.sk, wide);
      ASSERT_TRUE(r.ok());
      EXPECT_EQ(*r, n);
      EXPECT_TRUE(std::all_of(wide.begin() + n, wide.end(), [](uint8_t v) { return v == 0x5A; }));
    }
  }
}

TEST(VrfAbi, MakeBytesLowerBoundsAndRefusedPoints) {
  for (uint8_t code_value = 1; code_value <= 6; ++code_value) {
    const auto c = static_cast<SuiteCode>(code_value);
    const size_t h = header_of(c);
    vrf::Output out{};
    EXPECT_EQ(code_of(vrf::vrf_make_bytes(c, Bytes(32), {}, Bytes(h - 1), {}, out)), 1);
    EXPECT_EQ(code_of(vrf::vrf_make_bytes(c, Bytes(31), {}, Bytes(h), {}, out)), 1);
    // All-zero bytes: the Ed25519 identity is of small order; for sr25519
    // the zero point decodes, so an undecodable encoding is used instead.
    Bytes pk(32, 0), pre(h, 0);
    if (is_sr(c)) pk.assign(32, 0xFF);
    EXPECT_EQ(code_of(vrf::vrf_make_bytes(c, pk, {}, pre, {}, out)), 8);
  }
  // The suite label enters the derivation.
  const Keys k = keys_of(SuiteCode::ED_ML_44);
  const Bytes proof = prove(SuiteCode::ED_ML_44, k.sk, {}, true);
  EXPECT_NE(bytes_of(SuiteCode::ED_ML_44, k.pk, {}, proof, {}), bytes_of(SuiteCode::ED_SH, k.pk, {}, proof, {}));
}

TEST(VrfAbi, StatefulSuitesVerifyNothingMalformed) {
  for (SuiteCode c : {SuiteCode::ED_SH, SuiteCode::SR_SH}) {
    EXPECT_FALSE(vrf::vrf_verify(c, Bytes(196), {}, Bytes(vrf::vrf_proof_len(c))));
    EXPECT_FALSE(vrf::vrf_verify(c, Bytes(196), {}, Bytes(vrf::vrf_proof_len(c) + 1)));
    EXPECT_FALSE(vrf::vrf_verify(c, Bytes(195), {}, Bytes(vrf::vrf_proof_len(c))));
  }
}

}  // namespace
