// Composite keys and signatures of the four stateless suites.
#include "valtorimesca/composite.hpp"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "keys.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/suites.hpp"
#include "vectors.hpp"

namespace {

using namespace valtorimesca;
using suites::EdFn512;
using suites::EdMl44;
using suites::SrFn512;
using suites::SrMl44;
using Bytes = std::vector<uint8_t>;

std::array<uint8_t, 32> seed_of(uint8_t v) {
  std::array<uint8_t, 32> s{};
  s.fill(v);
  return s;
}

// The typed tests run over all four suites: the ML-DSA ones through
// `composite`, whose signing answers bare success, the FN-DSA ones through
// `composite_delta`, which answers the bytes it wrote.
template <class S>
constexpr size_t sig_len() {
  if constexpr (DeltaSuite<S>)
    return composite_delta::kSignatureLen<S>;
  else
    return composite::kSignatureLen<S>;
}

template <class S>
void keypair(const std::array<uint8_t, 32>& seed, Bytes& sk, Bytes& pk) {
  vt_test::composite_keypair<S>(seed, sk, pk);
}

template <class S>
CoreResult<size_t> as_count(const CoreStatus& r) {
  if (!r) return fail(r.error());
  return sig_len<S>();
}

template <class S>
CoreResult<size_t> sign_det(const Bytes& sk, const Bytes& msg, const Bytes& ctx, const Bytes& nonce, Bytes& out) {
  if constexpr (DeltaSuite<S>)
    return composite_delta::sign_deterministic<S>(sk, msg, ctx, nonce, out);
  else
    return as_count<S>(composite::sign_deterministic<S>(sk, msg, ctx, nonce, out));
}

template <class S>
CoreResult<size_t> sign_hedged(const Bytes& sk, const Bytes& msg, const Bytes& ctx, Bytes& out) {
  component::OsRng rng;
  if constexpr (DeltaSuite<S>)
    return composite_delta::sign<S>(sk, msg, ctx, rng, out);
  else
    return as_count<S>(composite::sign<S>(sk, msg, ctx, rng, out));
}

template <class S>
bool verify(const Bytes& pk, const Bytes& msg, const Bytes& ctx, const Bytes& sig) {
  if constexpr (DeltaSuite<S>)
    return composite_delta::verify<S>(pk, msg, ctx, sig);
  else
    return composite::verify<S>(pk, msg, ctx, sig);
}

template <class S>
class CompositeSuite : public ::testing::Test {};
using AllSuites = ::testing::Types<EdMl44, EdFn512, SrMl44, SrFn512>;
TYPED_TEST_SUITE(CompositeSuite, AllSuites);

TYPED_TEST(CompositeSuite, KeysArePureAndSignaturesRoundTrip) {
  using S = TypeParam;
  Bytes sk, pk, sk2, pk2;
  keypair<S>(seed_of(7), sk, pk);
  keypair<S>(seed_of(7), sk2, pk2);
  EXPECT_EQ(sk, sk2);
  EXPECT_EQ(pk, pk2);
  // An Ed25519 secret key is seed || public key.
  if constexpr (std::is_same_v<typename S::Classical, classical::ed25519::Ed25519>) {
    EXPECT_TRUE(std::equal(pk.begin(), pk.begin() + 32, sk.begin() + 32));
  }

  const Bytes msg = {'h', 'e', 'l', 'l', 'o'}, ctx = {'c', 't', 'x'};
  Bytes sig(sig_len<S>());
  auto n = sign_hedged<S>(sk, msg, ctx, sig);
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(*n, sig_len<S>());
  EXPECT_TRUE(verify<S>(pk, msg, ctx, sig));
  if constexpr (DeltaSuite<S>) {
    EXPECT_EQ(sig.size(), 731u);
    EXPECT_EQ(sig[64], 0xFF);
    EXPECT_EQ(sig[65], 0x39);
  }

  // Wrong context, message, or one flipped bit in either half.
  EXPECT_FALSE(verify<S>(pk, msg, Bytes{'c', 't', 'y'}, sig));
  EXPECT_FALSE(verify<S>(pk, Bytes{'h'}, ctx, sig));
  for (size_t at : {size_t{3}, size_t{100}, sig.size() - 1}) {
    Bytes bad = sig;
    bad[at] ^= 0x01;
    EXPECT_FALSE(verify<S>(pk, msg, ctx, bad)) << at;
  }
  // Malformed lengths answer false without error.
  EXPECT_FALSE(verify<S>(Bytes(pk.begin(), pk.end() - 1), msg, ctx, sig));
  Bytes longer = sig;
  longer.push_back(0);
  EXPECT_FALSE(verify<S>(pk, msg, ctx, longer));
  EXPECT_FALSE(verify<S>(pk, msg, ctx, Bytes(sig.begin(), sig.end() - 1)));
  EXPECT_FALSE(verify<S>(pk, msg, Bytes(256, 1), sig));
}

TYPED_TEST(CompositeSuite, DeterministicSigningAndNonceUse) {
  using S = TypeParam;
  Bytes sk, pk;
  keypair<S>(seed_of(9), sk, pk);
  const Bytes msg = {1, 2, 3}, ctx = {};
  Bytes a(sig_len<S>()), b(sig_len<S>()), c(sig_len<S>());
  ASSERT_TRUE(sign_det<S>(sk, msg, ctx, Bytes{'n', '1'}, a).ok());
  ASSERT_TRUE(sign_det<S>(sk, msg, ctx, Bytes{'n', '1'}, b).ok());
  ASSERT_TRUE(sign_det<S>(sk, msg, ctx, Bytes{'n', '2'}, c).ok());
  EXPECT_EQ(a, b);
  // Only ED_ML_44 ignores the nonce in both halves.
  EXPECT_EQ(a == c, (std::is_same_v<S, EdMl44>));
  EXPECT_TRUE(verify<S>(pk, msg, ctx, a));
  EXPECT_TRUE(verify<S>(pk, msg, ctx, c));
}

TYPED_TEST(CompositeSuite, SigningTestsContextThenKeyThenOutput) {
  using S = TypeParam;
  Bytes sk, pk;
  keypair<S>(seed_of(1), sk, pk);
  const size_t skl = sk.size(), total = sig_len<S>();
  Bytes short_sk(skl - 1), tiny(10), out(total);
  auto r = sign_det<S>(short_sk, {}, {}, {}, tiny);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(skl, skl - 1));
  r = sign_det<S>(short_sk, {}, Bytes(256, 0), {}, tiny);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::context_too_long());
  Bytes one_short(total - 1);
  r = sign_det<S>(sk, {}, {}, {}, one_short);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::output_buffer_too_small(total, total - 1));
  // A longer output keeps its tail.
  Bytes wide(total + 16, 0xAB);
  ASSERT_TRUE(sign_det<S>(sk, {}, {}, {}, wide).ok());
  EXPECT_TRUE(std::all_of(wide.begin() + total, wide.end(), [](uint8_t v) { return v == 0xAB; }));
  EXPECT_TRUE(verify<S>(pk, {}, {}, Bytes(wide.begin(), wide.begin() + total)));
}

TEST(Composite, KeypairChecksOutputsFirstAndSuitesAreUnrelated) {
  Bytes sk(2624), pk(1343, 0x5A);
  auto r = composite::keypair_from_seed<EdMl44>(seed_of(3), sk, pk);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(1344, 1343));
  EXPECT_TRUE(std::all_of(sk.begin(), sk.end(), [](uint8_t v) { return v == 0; }));
  Bytes sk_small(1408);
  r = composite_delta::keypair_from_seed<EdFn512>(seed_of(3), sk_small, pk);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(1409, 1408));

  Bytes ed_sk, ed_pk, sr_sk, sr_pk;
  keypair<EdMl44>(seed_of(3), ed_sk, ed_pk);
  keypair<SrMl44>(seed_of(3), sr_sk, sr_pk);
  EXPECT_FALSE(std::equal(ed_pk.begin() + 32, ed_pk.end(), sr_pk.begin() + 32));
  EXPECT_FALSE(std::equal(ed_sk.begin(), ed_sk.begin() + 32, sr_sk.begin()));
}

TEST(Composite, SignatureFromAnotherSuiteDoesNotVerify) {
  Bytes ed_sk, ed_pk, sr_sk, sr_pk;
  keypair<EdMl44>(seed_of(4), ed_sk, ed_pk);
  Bytes sig(2484);
  ASSERT_TRUE(composite::sign_deterministic<EdMl44>(ed_sk, Bytes{1}, {}, {}, sig).ok());
  // The same key bytes under SR_ML_44's label would need other components;
  // what matters is that the label enters the message representative.
  EXPECT_TRUE(composite::verify<EdMl44>(ed_pk, Bytes{1}, {}, sig));
  EXPECT_FALSE(composite::verify<SrMl44>(ed_pk, Bytes{1}, {}, sig));
}

// The two modules answer signing differently: `composite` success alone
// (its length is fixed), `composite_delta` the number of bytes written.
TEST(Composite, EachModuleAnswersSigningInItsOwnShape) {
  static_assert(std::is_same_v<decltype(composite::sign_deterministic<EdMl44>({}, {}, {}, {}, {})), CoreStatus>);
  static_assert(
      std::is_same_v<decltype(composite_delta::sign_deterministic<SrFn512>({}, {}, {}, {}, {})), CoreResult<size_t>>);
  Bytes ml_sk, ml_pk, fn_sk, fn_pk;
  keypair<SrMl44>(seed_of(6), ml_sk, ml_pk);
  keypair<SrFn512>(seed_of(6), fn_sk, fn_pk);
  component::OsRng rng;
  Bytes wide(3000, 0xC3);
  ASSERT_TRUE(composite::sign<SrMl44>(ml_sk, Bytes{7}, {}, rng, wide).ok());
  EXPECT_TRUE(std::all_of(wide.begin() + 2484, wide.end(), [](uint8_t v) { return v == 0xC3; }));
  EXPECT_TRUE(composite::verify<SrMl44>(ml_pk, Bytes{7}, {}, Bytes(wide.begin(), wide.begin() + 2484)));
  Bytes fn_sig(1000, 0xC3);
  auto n = composite_delta::sign<SrFn512>(fn_sk, Bytes{7}, {}, rng, fn_sig);
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(*n, 731u);
  fn_sig.resize(*n);
  EXPECT_TRUE(composite_delta::verify<SrFn512>(fn_pk, Bytes{7}, {}, fn_sig));
  Bytes too_small(730);
  auto r = composite_delta::sign<SrFn512>(fn_sk, Bytes{7}, {}, rng, too_small);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::output_buffer_too_small(731, 730));
}

TEST(EncodingDelta, DecodeTable) {
  struct Case {
    size_t len;
    uint8_t d;
    bool ok;
    CoreError err;
  };
  const Case cases[] = {
      {64, 0, false, CoreError::bad_length(65, 64)},
      {475, 0, false, CoreError::bad_length(411, 410)},
      {476, 0, true, {}},
      {731, 255, true, {}},
      {732, 255, false, CoreError::trailing_bytes(731, 732)},
      {730, 255, false, CoreError::bad_length(666, 665)},
  };
  for (const auto& c : cases) {
    Bytes sig(c.len, 0x11);
    if (c.len > 64) sig[64] = c.d;
    auto r = encoding_delta::decode_delta(sig, 411);
    ASSERT_EQ(r.ok(), c.ok) << c.len;
    if (!c.ok) {
      EXPECT_EQ(r.error(), c.err) << c.len;
    } else {
      EXPECT_EQ(r->classical.data(), sig.data());
      EXPECT_EQ(r->classical.size(), 64u);
      EXPECT_EQ(r->pq.data(), sig.data() + 65);
      EXPECT_EQ(r->pq.size(), 411u + c.d);
    }
  }
  // 476 bytes with d = 0 decodes but FN-DSA refuses a short signature.
  Bytes sk, pk;
  keypair<EdFn512>(seed_of(5), sk, pk);
  Bytes sig(731);
  ASSERT_TRUE(composite_delta::sign_deterministic<EdFn512>(sk, {}, {}, {}, sig).ok());
  Bytes shortened(sig.begin(), sig.begin() + 476);
  shortened[64] = 0;
  EXPECT_FALSE(composite_delta::verify<EdFn512>(pk, {}, {}, shortened));
}

}  // namespace
