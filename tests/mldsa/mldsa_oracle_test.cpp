// Differential test against @noble/post-quantum (tests/oracles): the same
// seeds, randomness and messages must give the same keys and signatures,
// and both must agree on altered signatures, on every code path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dispatch_paths.hpp"
#include "internal.hpp"
#include "mldsa/mldsa.hpp"
#include "node_oracle.hpp"
#include "vectors.hpp"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using mldsa::detail::kSigHintOffset;
using mldsa::detail::kSigZOffset;

// Runs the node script on `input` and returns its parsed answer.
vt_test::json run_oracle(const vt_test::json& input) {
  return vt_test::json::parse(vt_test::run_node_oracle("mldsa_noble.mjs", input.dump()));
}

struct Case {
  Bytes xi, rnd, msg, pk, sk, sig;
  std::vector<Bytes> foreign;  // [0] is the untouched signature
};

Bytes altered(const Bytes& sig, int kind, uint64_t r) {
  Bytes m = sig;
  switch (kind) {
    case 0: m[r % 32] ^= static_cast<uint8_t>(1u << (r % 8)); break;                        // c~
    case 1: m[kSigZOffset + r % (kSigHintOffset - kSigZOffset)] ^= 0x04; break;             // z
    case 2: m[kSigZOffset] = 0, m[kSigZOffset + 1] = 0, m[kSigZOffset + 2] &= 0xFC; break;  // z = gamma1
    case 3: m[mldsa::kSignatureLen - 1] = static_cast<uint8_t>(m.back() + 1); break;        // hint count
    case 4: m[kSigHintOffset + r % 80] ^= 0x01; break;                                      // hint index
    default: break;
  }
  return m;
}

class MlDsaOracle : public vt_test::MlDsaPathTest {};
VT_MLDSA_ON_EVERY_PATH(MlDsaOracle);

TEST_P(MlDsaOracle, MatchesNobleOnRandomSeedsRandomnessAndMessages) {
  VT_SKIP_WITHOUT_NODE_ORACLES();
  constexpr int kCases = 40;
  const size_t lengths[] = {0, 1, 2, 33, 135, 136, 137, 1000, 4097};
  std::vector<Case> cases;
  vt_test::json input = vt_test::json::array();
  for (int i = 0; i < kCases; ++i) {
    Case c;
    const Bytes r = vt_test::pseudo_random_bytes(1000 + i, 8);
    c.xi = vt_test::pseudo_random_bytes(2000 + i, 32);
    c.rnd = (i % 4 == 0) ? Bytes(32, 0) : vt_test::pseudo_random_bytes(3000 + i, 32);
    const size_t len = i < 9 ? lengths[i] : (r[0] | (r[1] << 8)) % 3000;
    c.msg = vt_test::pseudo_random_bytes(4000 + i, len);
    c.pk.resize(mldsa::kPublicKeyLen);
    c.sk.resize(mldsa::kSecretKeyLen);
    c.sig.resize(mldsa::kSignatureLen);
    mldsa::keygen(mldsa::Seed(c.xi.data(), 32), std::span<uint8_t, 1312>(c.pk), std::span<uint8_t, 2560>(c.sk));
    ASSERT_EQ(mldsa::sign(mldsa::SecretKey(c.sk.data(), 2560), c.msg, {}, mldsa::Rnd(c.rnd.data(), 32),
                          std::span<uint8_t, 2420>(c.sig)),
              mldsa::SignStatus::Ok);
    c.foreign.push_back(c.sig);
    for (int kind = 0; kind < 5; ++kind) c.foreign.push_back(altered(c.sig, kind, r[2 + kind] * 131u + i));
    vt_test::json foreign = vt_test::json::array();
    for (const auto& s : c.foreign) foreign.push_back(vt_test::to_hex(s));
    input.push_back({{"xi", vt_test::to_hex(c.xi)},
                     {"rnd", vt_test::to_hex(c.rnd)},
                     {"msg", vt_test::to_hex(c.msg)},
                     {"foreign_sigs", foreign}});
    cases.push_back(std::move(c));
  }

  const vt_test::json answer = run_oracle(input);
  ASSERT_EQ(answer.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const auto& a = answer[i];
    ASSERT_EQ(vt_test::string_field(a, "pk"), vt_test::to_hex(c.pk)) << i;
    ASSERT_EQ(vt_test::string_field(a, "sk"), vt_test::to_hex(c.sk)) << i;
    EXPECT_EQ(vt_test::string_field(a, "sig"), vt_test::to_hex(c.sig)) << i;
    EXPECT_TRUE(vt_test::field(a, "verifies").get<bool>()) << i;

    const auto& verdicts = vt_test::field(a, "foreign");
    ASSERT_EQ(verdicts.size(), c.foreign.size());
    for (size_t k = 0; k < c.foreign.size(); ++k) {
      const bool ours =
          mldsa::verify(mldsa::PublicKey(c.pk.data(), 1312), c.msg, {}, mldsa::Signature(c.foreign[k].data(), 2420));
      EXPECT_EQ(ours, verdicts[k].get<bool>()) << "case " << i << " alteration " << k;
      EXPECT_EQ(ours, k == 0) << "case " << i << " alteration " << k;
    }

    // Noble's own hedged signature verifies here, and not for another message.
    const Bytes hedged = vt_test::hex_field(a, "hedged");
    ASSERT_EQ(hedged.size(), mldsa::kSignatureLen);
    EXPECT_TRUE(mldsa::verify(mldsa::PublicKey(c.pk.data(), 1312), c.msg, {}, mldsa::Signature(hedged.data(), 2420)))
        << i;
    Bytes other = c.msg;
    other.push_back(0x5A);
    EXPECT_FALSE(mldsa::verify(mldsa::PublicKey(c.pk.data(), 1312), other, {}, mldsa::Signature(hedged.data(), 2420)))
        << i;
  }
}

}  // namespace
