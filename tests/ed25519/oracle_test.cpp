// Differential test against @noble/curves (tests/oracles): signatures made
// here verify there and the other way round, and both sides give the same
// ZIP 215 verdict on mutated and hand-built signatures.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "node_oracle.hpp"
#include "test_util.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/ed25519/edwards.hpp"

using namespace valtorimesca;
using namespace ed_test;
namespace edc = valtorimesca::classical::ed25519;
namespace ed = valtorimesca::classical::ed25519::edwards;
using edc::Ed25519;

namespace {

std::string hex_or_dash(std::span<const uint8_t> b) { return b.empty() ? "-" : vt_test::to_hex(b.data(), b.size()); }

bool ours(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig) {
  return edc::verify_zip215(pk, msg, sig);
}

struct SignCase {
  std::string our_pk, our_sig;
  Bytes msg;
};
struct VerifyCase {
  Bytes pk, msg, sig;
  bool verdict;
  std::string what;
};

class Requests {
 public:
  void sign(const Bytes& seed, const Bytes& msg, const std::array<uint8_t, 32>& pk,
            const std::array<uint8_t, 64>& sig) {
    lines_ << "S " << hex_or_dash(seed) << " " << hex_or_dash(msg) << "\n";
    order_.push_back(false);
    signs_.push_back({vt_test::to_hex_c(pk), vt_test::to_hex_c(sig), msg});
  }
  void verify(Bytes pk, Bytes msg, Bytes sig, std::string what) {
    lines_ << "V " << hex_or_dash(pk) << " " << hex_or_dash(msg) << " " << hex_or_dash(sig) << "\n";
    order_.push_back(true);
    const bool v = ours(pk, msg, sig);
    verifies_.push_back({std::move(pk), std::move(msg), std::move(sig), v, std::move(what)});
  }

  std::string text() const { return lines_.str(); }
  const std::vector<bool>& order() const { return order_; }
  const std::vector<SignCase>& signs() const { return signs_; }
  const std::vector<VerifyCase>& verifies() const { return verifies_; }

 private:
  std::ostringstream lines_;
  std::vector<bool> order_;
  std::vector<SignCase> signs_;
  std::vector<VerifyCase> verifies_;
};

std::vector<std::string> run_oracle(const std::string& requests) {
  std::istringstream answers(vt_test::run_node_oracle("ed25519_zip215.mjs", requests));
  std::vector<std::string> lines;
  for (std::string l; std::getline(answers, l);) lines.push_back(l);
  return lines;
}

TEST(Ed25519Oracle, AgreesWithNobleZip215) {
  VT_SKIP_WITHOUT_NODE_ORACLES();
  Requests req;
  const auto torsion = torsion_points_from_vectors();
  const Scalar order = group_order();
  constexpr uint64_t kKeys = 300;
  for (uint64_t i = 0; i < kKeys; ++i) {
    const Bytes seed = vt_test::pseudo_random_bytes(10'000 + i, 32);
    const Bytes msg = vt_test::pseudo_random_bytes(20'000 + i, (i * 37) % 200);
    std::array<uint8_t, 64> sk{}, sig{};
    std::array<uint8_t, 32> pk{};
    ASSERT_TRUE(Ed25519::derive(to_array<32>(seed), sk, pk).ok());
    ASSERT_TRUE(edc::raw_sign(sk, msg, sig).ok());
    req.sign(seed, msg, pk, sig);
    const Bytes pk_v(pk.begin(), pk.end()), sig_v(sig.begin(), sig.end());
    req.verify(pk_v, msg, sig_v, "ours");

    // Random byte mutations of key, signature or message.
    const Bytes rnd = vt_test::pseudo_random_bytes(30'000 + i, 8);
    for (int m = 0; m < 2; ++m) {
      Bytes mpk = pk_v, mmsg = msg, msig = sig_v;
      const uint8_t where = rnd[4 * m], pos = rnd[4 * m + 1], val = static_cast<uint8_t>(rnd[4 * m + 2] | 1);
      if (where % 3 == 0) mpk[pos % 32] ^= val;
      if (where % 3 == 1) msig[pos % 64] ^= val;
      if (where % 3 == 2) {
        if (mmsg.empty())
          mmsg.push_back(val);
        else
          mmsg[pos % mmsg.size()] ^= val;
      }
      req.verify(mpk, mmsg, msig, "mutated");
    }
    // S + l: same residue, refused by both.
    {
      Scalar s;
      std::copy(sig.begin() + 32, sig.end(), s.begin());
      const Scalar big = add_le(s, order);
      Bytes msig = sig_v;
      std::copy(big.begin(), big.end(), msig.begin() + 32);
      req.verify(pk_v, msg, msig, "S + l");
    }
    // Torsion added to A and/or R on a hand-made signature, every 5th key.
    if (i % 5 == 0) {
      const Scalar a = secret_scalar(seed), r = random_scalar(40'000 + i);
      const Point t = *ed::decode_canonical(torsion[1 + (i / 5) % 7]);
      const Point a_point = ed::mul_base(a), r_point = ed::mul_base(r);
      const Encoding a_mixed = ed::add(a_point, t).bytes();
      const Point r_mixed = ed::add(r_point, t);
      const Bytes a_mixed_v(a_mixed.begin(), a_mixed.end());
      const auto as_bytes = [](const std::array<uint8_t, 64>& b) { return Bytes(b.begin(), b.end()); };
      req.verify(a_mixed_v, msg, as_bytes(hand_signature(a, r, r_point.bytes(), a_mixed, msg)), "torsion in A");
      req.verify(pk_v, msg, as_bytes(hand_signature(a, r, r_mixed.bytes(), a_point.bytes(), msg)), "torsion in R");
      req.verify(a_mixed_v, msg, as_bytes(hand_signature(a, r, r_mixed.bytes(), a_mixed, msg)), "torsion in A and R");
    }
  }
  // The recorded cases as well, so that both libraries are seen to agree on them.
  const auto& zebra = vt_test::load_vectors("ed25519_zebra.json");
  for (const auto& c : vt_test::field(zebra, "verification_cases"))
    req.verify(vt_test::hex_field(c, "vk_hex"), vt_test::hex_field(c, "message_hex"), vt_test::hex_field(c, "sig_hex"),
               vt_test::string_field(c, "name"));
  const auto& small = vt_test::load_vectors("ed25519_zip215_small_order_196.json");
  const Bytes small_msg = vt_test::hex_field(small, "message_hex");
  for (const auto& c : vt_test::field(small, "cases"))
    req.verify(vt_test::hex_field(c, "vk_bytes"), small_msg, vt_test::hex_field(c, "sig_bytes"), "small order");

  const auto answers = run_oracle(req.text());
  ASSERT_EQ(answers.size(), req.order().size());
  size_t si = 0, vi = 0, accepted = 0, torsion_accepted = 0;
  for (size_t n = 0; n < answers.size(); ++n) {
    if (!req.order()[n]) {
      const SignCase& s = req.signs()[si++];
      EXPECT_EQ(answers[n], s.our_pk + " " + s.our_sig) << "signing case " << si - 1;
      // noble's signature (the same bytes) verifies here.
      const Bytes npk = vt_test::from_hex(answers[n].substr(0, 64)), nsig = vt_test::from_hex(answers[n].substr(65));
      EXPECT_TRUE(ours(npk, s.msg, nsig)) << "signing case " << si - 1;
    } else {
      const VerifyCase& v = req.verifies()[vi++];
      EXPECT_EQ(answers[n], v.verdict ? "1" : "0")
          << v.what << " pk=" << vt_test::to_hex(v.pk) << " sig=" << vt_test::to_hex(v.sig);
      if (v.verdict) ++accepted;
      if (v.verdict && v.what.rfind("torsion", 0) == 0) ++torsion_accepted;
    }
  }
  EXPECT_EQ(si, kKeys);
  EXPECT_GT(accepted, kKeys + 196);
  EXPECT_EQ(torsion_accepted, 3 * kKeys / 5);
}

}  // namespace
