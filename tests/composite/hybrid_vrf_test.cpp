// Hybrid VRF proofs of the four stateless suites.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <vector>

#include "keys.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca/vrf.hpp"

namespace {

using namespace valtorimesca;
using suites::EdFn512;
using suites::EdMl44;
using suites::SrFn512;
using suites::SrMl44;
using Bytes = std::vector<uint8_t>;

template <class S>
constexpr bool kDelta = S::Pq::kSignatureLen == 666;

template <class S>
constexpr size_t total() {
  return vrf::ProofLayout<S>::kHeader + (kDelta<S> ? 1 : 0) + S::Pq::kSignatureLen;
}

template <class S>
CoreResult<size_t> prove(const Bytes& sk, const Bytes& input, Bytes& out) {
  return vrf::sign<S>(sk, input, out);
}

// Verification as the composition rule states it.
template <class S>
bool verify(const Bytes& pk, const Bytes& input, const Bytes& proof) {
  using C = typename S::Classical;
  constexpr size_t header = vrf::ProofLayout<S>::kHeader;
  if (proof.size() != total<S>()) return false;
  std::span<const uint8_t> p(proof);
  const auto pre = p.first(32);
  const subtle::Choice a =
      C::vrf_verify(std::span<const uint8_t>(pk).first(32), S::label(), input, pre, p.subspan(32, header - 32));
  const auto binding = vrf::binding_message(S::label(), input, pre);
  const auto sig = kDelta<S> ? p.subspan(header + 1) : p.subspan(header);
  const subtle::Choice b = S::Pq::verify(std::span<const uint8_t>(pk).subspan(32), binding, sig);
  return (a & b).declassify();
}

template <class S>
void keypair(uint8_t v, Bytes& sk, Bytes& pk) {
  std::array<uint8_t, 32> seed{};
  seed.fill(v);
  vt_test::composite_keypair<S>(seed, sk, pk);
}

template <class S>
class HybridVrf : public ::testing::Test {};
using AllSuites = ::testing::Types<EdMl44, EdFn512, SrMl44, SrFn512>;
TYPED_TEST_SUITE(HybridVrf, AllSuites);

TYPED_TEST(HybridVrf, ProofsVerifyAndOnlyTheSrWitnessIsRandom) {
  using S = TypeParam;
  using C = typename S::Classical;
  constexpr bool kSr = C::kVrfProofLen == 64;
  Bytes sk, pk;
  keypair<S>(11, sk, pk);
  const Bytes input = {'i', 'n'};
  Bytes a(total<S>()), b(total<S>());
  ASSERT_EQ(*prove<S>(sk, input, a), total<S>());
  ASSERT_EQ(*prove<S>(sk, input, b), total<S>());
  EXPECT_TRUE(verify<S>(pk, input, a));
  EXPECT_TRUE(verify<S>(pk, input, b));
  if (kSr) {
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 32, b.begin()));
    EXPECT_TRUE(std::equal(a.begin() + 96, a.end(), b.begin() + 96));
    EXPECT_FALSE(std::equal(a.begin() + 32, a.begin() + 96, b.begin() + 32));
  } else {
    EXPECT_EQ(a, b);
  }
  if constexpr (kDelta<S>) {
    EXPECT_EQ(a[vrf::ProofLayout<S>::kHeader], 0xFF);
  }

  // The output bytes depend only on the pre-output.
  auto out_a = C::vrf_make_bytes(std::span<const uint8_t>(pk).first(32), S::label(), input,
                                 std::span<const uint8_t>(a).first(32), Bytes{'c'});
  auto out_b = C::vrf_make_bytes(std::span<const uint8_t>(pk).first(32), S::label(), input,
                                 std::span<const uint8_t>(b).first(32), Bytes{'c'});
  ASSERT_TRUE(out_a.ok() && out_b.ok());
  EXPECT_EQ(*out_a, *out_b);

  // Another input, or a changed pre-output, fails.
  EXPECT_FALSE(verify<S>(pk, Bytes{'i', 'o'}, a));
  Bytes bad = a;
  bad[0] ^= 1;
  EXPECT_FALSE(verify<S>(pk, input, bad));
}

TYPED_TEST(HybridVrf, KeyIsTestedBeforeTheBufferAndTheBufferIsExact) {
  using S = TypeParam;
  Bytes sk, pk;
  keypair<S>(12, sk, pk);
  const size_t n = total<S>();
  Bytes tiny(5);
  auto r = prove<S>(Bytes(sk.size() - 1), {}, tiny);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(sk.size(), sk.size() - 1));
  Bytes short_buf(n - 1);
  r = prove<S>(sk, {}, short_buf);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::output_buffer_too_small(n, n - 1));
  Bytes wide(n + 8, 0xCD);
  ASSERT_EQ(*prove<S>(sk, {}, wide), n);
  EXPECT_TRUE(std::all_of(wide.begin() + n, wide.end(), [](uint8_t v) { return v == 0xCD; }));
}

TEST(HybridVrfBinding, LengthsOfLabelAndInputAreBothFramed) {
  const Bytes pre(32, 7);
  const Bytes label = {'a', 'b', 'c'}, input = {'d'};
  const Bytes label2 = {'a', 'b'}, input2 = {'c', 'd'};
  EXPECT_NE(vrf::binding_message(label, input, pre), vrf::binding_message(label2, input2, pre));
  // SHA-256("valtorimesca/hybrid-vrf/v1\0" || BE64(3) || "abc" || BE64(1) || "d" || pre), by hand.
  Bytes framed;
  const char tag[] = "valtorimesca/hybrid-vrf/v1";
  framed.insert(framed.end(), tag, tag + sizeof tag);
  for (auto part : {label, input}) {
    for (int i = 7; i >= 0; --i) framed.push_back(static_cast<uint8_t>(part.size() >> (8 * i)));
    framed.insert(framed.end(), part.begin(), part.end());
  }
  framed.insert(framed.end(), pre.begin(), pre.end());
  EXPECT_EQ(framed.size(), 27u + 8 + 3 + 8 + 1 + 32);
  std::array<uint8_t, 32> expect{};
  unsigned int len = 0;
  EVP_Digest(framed.data(), framed.size(), expect.data(), &len, EVP_sha256(), nullptr);
  EXPECT_EQ(vrf::binding_message(label, input, pre), expect);
}

}  // namespace
