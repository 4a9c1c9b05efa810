// Differential test against @scure/sr25519 and @polkadot/wasm-crypto: our
// keys, signatures and VRF proofs are checked (and, with known witness bytes,
// reproduced) by both; their signatures and proofs are verified here and
// their pre-outputs must equal ours. Requires `npm ci` in tests/oracles.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "node_oracle.hpp"
#include "test_util.hpp"
#include "vectors.hpp"

namespace {

using namespace sr_test;
using valtorimesca::SeededRng;
using vt_test::json;
using vt_test::to_hex;
using vt_test::to_hex_c;
namespace fs = std::filesystem;
namespace sr = valtorimesca::classical::sr25519;

std::span<const uint8_t> substrate() { return str("substrate"); }

std::vector<uint8_t> rnd(uint64_t seed, size_t n) { return vt_test::pseudo_random_bytes(seed, n); }

json run_oracle(const json& cases) { return json::parse(vt_test::run_node_oracle("sr25519_oracle.mjs", cases.dump())); }

TEST(Sr25519Oracle, AgreesWithScureAndSchnorrkelWasm) {
  VT_SKIP_WITHOUT_NODE_ORACLES();
  constexpr int kCases = 240;
  const std::span<const uint8_t> labels[] = {label_sr_ml(), label_sr_fn(),
                                             valtorimesca::suites::label_bytes(valtorimesca::suites::kLabelSrSh)};
  struct Ours {
    std::array<uint8_t, 64> sk;
    std::array<uint8_t, 32> pk;
    std::vector<uint8_t> msg, input, context;
    std::span<const uint8_t> label;
    std::array<uint8_t, 32> pre_label, pre_sub;
  };
  std::vector<Ours> ours(kCases);
  json cases = json::array();
  for (int i = 0; i < kCases; ++i) {
    Ours& o = ours[i];
    const auto seed = rnd(1000 + i, 32);
    ASSERT_TRUE(Sr25519::derive(std::span<const uint8_t, 32>(seed.data(), 32), o.sk, o.pk));
    o.msg = rnd(5000 + i, static_cast<size_t>(i * 7 % 301));
    o.input = rnd(9000 + i, static_cast<size_t>(i * 3 % 97));
    o.context = rnd(13000 + i, static_cast<size_t>(i % 20));
    o.label = labels[i % 3];
    const auto sign_seed = rnd(17000 + i, 32);
    const auto vrf_seed = rnd(21000 + i, 32);

    std::array<uint8_t, 64> sig_sub{}, sig_label{};
    {
      SeededRng g(sign_seed.data());
      ASSERT_TRUE(sr::sign_with_rng(o.sk, o.msg, substrate(), g, sig_sub));
    }
    if (i % 2 == 0) {
      ASSERT_TRUE(Sr25519::sign_deterministic(o.sk, o.msg, rnd(25000 + i, i % 40), o.label, sig_label));
    } else {
      sr::OsRng os;
      ASSERT_TRUE(Sr25519::sign(o.sk, o.msg, o.label, os, sig_label));
    }
    std::array<uint8_t, 96> vrf_label{}, vrf_sub{};
    {
      SeededRng g(vrf_seed.data());
      ASSERT_TRUE(sr::vrf_impl::evaluate_with_rng(o.sk, o.label, o.input, g, std::span(vrf_label).first<32>(),
                                                  std::span(vrf_label).subspan<32>()));
    }
    if (i % 2 == 0) {
      ASSERT_TRUE(Sr25519::vrf_evaluate_deterministic(o.sk, substrate(), o.input, std::span(vrf_sub).first<32>(),
                                                      std::span(vrf_sub).subspan<32>()));
    } else {
      sr::OsRng os;
      ASSERT_TRUE(Sr25519::vrf_evaluate(o.sk, substrate(), o.input, os, std::span(vrf_sub).first<32>(),
                                        std::span(vrf_sub).subspan<32>()));
    }
    std::copy_n(vrf_label.begin(), 32, o.pre_label.begin());
    std::copy_n(vrf_sub.begin(), 32, o.pre_sub.begin());
    auto mb = Sr25519::vrf_make_bytes(o.pk, o.label, o.input, o.pre_label, o.context);
    ASSERT_TRUE(mb);
    cases.push_back({{"seed", to_hex(seed)},
                     {"sk", to_hex_c(o.sk)},
                     {"pk", to_hex_c(o.pk)},
                     {"msg", to_hex(o.msg)},
                     {"label", to_hex(o.label.data(), o.label.size())},
                     {"sig_substrate", to_hex_c(sig_sub)},
                     {"sig_label", to_hex_c(sig_label)},
                     {"sign_witness_seed", to_hex(sign_seed)},
                     {"vrf_input", to_hex(o.input)},
                     {"vrf_label", to_hex_c(vrf_label)},
                     {"vrf_substrate", to_hex_c(vrf_sub)},
                     {"vrf_witness_seed", to_hex(vrf_seed)},
                     {"context", to_hex(o.context)},
                     {"make_bytes", to_hex_c(*mb)}});
  }

  const json out = run_oracle({{"cases", cases}});
  const auto& results = vt_test::field(out, "results");
  ASSERT_EQ(results.size(), static_cast<size_t>(kCases));
  for (int i = 0; i < kCases; ++i) {
    const Ours& o = ours[i];
    const auto& r = results[i];
    for (const auto& f : vt_test::field(r, "fails")) ADD_FAILURE() << "case " << i << ": " << f.get<std::string>();
    const auto& t = vt_test::field(r, "theirs");
    for (const char* k : {"scure_sig_substrate", "wasm_sig_substrate"}) {
      const auto sig = vt_test::hex_field(t, k);
      EXPECT_TRUE(Sr25519::verify(o.pk, o.msg, substrate(), sig).declassify()) << "case " << i << " " << k;
      EXPECT_FALSE(Sr25519::verify(o.pk, o.msg, o.label, sig).declassify()) << "case " << i << " " << k;
    }
    struct Proof {
      const char* key;
      std::span<const uint8_t> label;
      const std::array<uint8_t, 32>& pre;
    };
    for (const Proof& p :
         {Proof{"scure_vrf_label", o.label, o.pre_label}, Proof{"wasm_vrf_label", o.label, o.pre_label},
          Proof{"wasm_vrf_substrate", substrate(), o.pre_sub}}) {
      const auto v = vt_test::hex_field(t, p.key);
      ASSERT_EQ(v.size(), 96u);
      const std::span<const uint8_t> pre(v.data(), 32), proof(v.data() + 32, 64);
      EXPECT_TRUE(Sr25519::vrf_verify(o.pk, p.label, o.input, pre, proof).declassify()) << "case " << i << " " << p.key;
      EXPECT_EQ(to_hex(v.data(), 32), to_hex_c(p.pre)) << "case " << i << " " << p.key;
    }
  }
}

}  // namespace
