#include "valtorimesca/derive.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oracle_client.hpp"
#include "valtorimesca/suites.hpp"
#include "vectors.hpp"

namespace {

namespace derive = valtorimesca::derive;
using valtorimesca::CoreError;
using valtorimesca::suites::label_bytes;
using vt_test::to_hex;

using Bytes = std::vector<uint8_t>;

Bytes ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes to_vec(std::span<const uint8_t> s) { return Bytes(s.begin(), s.end()); }
template <size_t N>
Bytes to_vec(const zeroize::SecretArray<N>& a) {
  return Bytes(a.data(), a.data() + N);
}

std::array<uint8_t, 32> seed32(uint64_t n) {
  std::array<uint8_t, 32> s{};
  auto b = vt_test::pseudo_random_bytes(n, 32);
  std::copy(b.begin(), b.end(), s.begin());
  return s;
}

nlohmann::json hkdf_request(const Bytes& ikm, const Bytes& info, size_t length) {
  return {{"op", "hkdf"},
          {"ikm", to_hex(ikm)},
          {"salt", to_hex(ascii("quartz-lem"))},
          {"info", to_hex(info)},
          {"length", length}};
}

std::vector<Bytes> all_labels() {
  std::vector<Bytes> out;
  for (auto l : {label_bytes(valtorimesca::suites::kLabelEdMl44), label_bytes(valtorimesca::suites::kLabelEdFn512),
                 label_bytes(valtorimesca::suites::kLabelSrMl44), label_bytes(valtorimesca::suites::kLabelSrFn512),
                 label_bytes(valtorimesca::suites::kLabelEdSh), label_bytes(valtorimesca::suites::kLabelSrSh)})
    out.push_back(to_vec(l));
  out.push_back(Bytes());          // empty label
  out.push_back(Bytes(70, 0x41));  // longest label the component seeds accept
  out.push_back(Bytes(66, 0x00));  // longest for the VRF key seed
  return out;
}

// Component, VRF and junction seeds against HKDF computed by the oracle
// (HMAC written out over hashlib), for every suite label and some bounds.
TEST(Derive, MatchesIndependentHkdf) {
  nlohmann::json req = nlohmann::json::array();
  struct Expect {
    std::string what;
    Bytes got;
  };
  std::vector<Expect> got;
  const auto labels = all_labels();
  for (uint64_t s = 0; s < 3; ++s) {
    auto master = seed32(s);
    Bytes m(master.begin(), master.end());
    for (const auto& label : labels) {
      for (size_t pq_len : {size_t{32}, size_t{0}, size_t{1}, size_t{33}, size_t{100}}) {
        std::array<uint8_t, 32> classical{};
        Bytes pq(pq_len, 0xAA);
        ASSERT_TRUE(derive::derive_component_seeds(master, label, classical, pq).ok());
        req.push_back(hkdf_request(m, cat(ascii("classical/"), label), 32));
        got.push_back({"classical", to_vec(classical)});
        req.push_back(hkdf_request(m, cat(ascii("pq/"), label), pq_len));
        got.push_back({"pq " + std::to_string(pq_len), pq});
      }
      if (label.size() <= 66) {
        auto vrf = derive::derive_stateless_vrf_seed(master, label);
        ASSERT_TRUE(vrf.ok());
        req.push_back(hkdf_request(m, cat(ascii("vrf-stateless/"), label), 32));
        got.push_back({"vrf", to_vec(*vrf)});
      }
    }
    for (uint64_t c = 0; c < 3; ++c) {
      auto code = seed32(100 + c);
      auto child = derive::derive_hard_junction(master, code);
      ASSERT_TRUE(child.ok());
      req.push_back(hkdf_request(m, cat(ascii("junction/hard/"), Bytes(code.begin(), code.end())), 32));
      got.push_back({"junction", to_vec(*child)});
    }
  }
  // The longest expansion HKDF-SHA256 allows.
  {
    auto master = seed32(9);
    std::array<uint8_t, 32> classical{};
    Bytes pq(derive::kMaxExpandLen);
    ASSERT_TRUE(
        derive::derive_component_seeds(master, label_bytes(valtorimesca::suites::kLabelSrSh), classical, pq).ok());
    req.push_back(hkdf_request(Bytes(master.begin(), master.end()),
                               cat(ascii("pq/"), to_vec(label_bytes(valtorimesca::suites::kLabelSrSh))), pq.size()));
    got.push_back({"pq 8160", pq});
  }
  auto want = seeds_test::run_oracle(req);
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(to_hex(got[i].got), want[i].get<std::string>()) << got[i].what << " #" << i;
}

TEST(Derive, LabelBoundsOfTheInfoBuffer) {
  auto master = seed32(1);
  struct Case {
    bool vrf;
    size_t label_len;
    bool ok;
  };
  for (const Case& c : {Case{false, 70, true}, Case{false, 71, false}, Case{false, 200, false}, Case{true, 66, true},
                        Case{true, 67, false}, Case{true, 80, false}}) {
    Bytes label(c.label_len, 0x61);
    const size_t prefix = c.vrf ? 14 : 10;
    if (c.vrf) {
      auto r = derive::derive_stateless_vrf_seed(master, label);
      ASSERT_EQ(r.ok(), c.ok) << c.label_len;
      if (!c.ok) {
        EXPECT_EQ(r.error(), CoreError::output_buffer_too_small(c.label_len + prefix, 80));
      }
    } else {
      std::array<uint8_t, 32> classical;
      classical.fill(0x5A);
      Bytes pq(32, 0x5A);
      auto r = derive::derive_component_seeds(master, label, classical, pq);
      ASSERT_EQ(r.ok(), c.ok) << c.label_len;
      if (!c.ok) {
        EXPECT_EQ(r.error(), CoreError::output_buffer_too_small(c.label_len + prefix, 80));
        EXPECT_EQ(to_vec(classical), Bytes(32, 0x5A)) << "nothing written";
        EXPECT_EQ(pq, Bytes(32, 0x5A)) << "nothing written";
      }
    }
  }
}

TEST(Derive, OverlongPostQuantumSeedFailsAndLeavesNoClassicalSeed) {
  auto master = seed32(2);
  std::array<uint8_t, 32> classical;
  classical.fill(0x5A);
  Bytes pq(derive::kMaxExpandLen + 1, 0x5A);
  auto r = derive::derive_component_seeds(master, label_bytes(valtorimesca::suites::kLabelEdMl44), classical, pq);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::component_failure());
  EXPECT_EQ(to_vec(classical), Bytes(32, 0)) << "classical seed wiped";
  EXPECT_EQ(pq, Bytes(pq.size(), 0x5A)) << "post-quantum output not written";
}

TEST(Derive, SeedsOfOneMasterAreDistinctAndDeterministic) {
  auto master = seed32(3);
  const auto label = label_bytes(valtorimesca::suites::kLabelEdSh);
  std::array<uint8_t, 32> c1{}, c2{};
  Bytes p1(32), p2(32);
  ASSERT_TRUE(derive::derive_component_seeds(master, label, c1, p1).ok());
  ASSERT_TRUE(derive::derive_component_seeds(master, label, c2, p2).ok());
  auto v1 = derive::derive_stateless_vrf_seed(master, label);
  auto v2 = derive::derive_stateless_vrf_seed(master, label);
  ASSERT_TRUE(v1.ok() && v2.ok());
  EXPECT_EQ(c1, c2);
  EXPECT_EQ(p1, p2);
  EXPECT_EQ(to_vec(*v1), to_vec(*v2));
  EXPECT_NE(to_vec(c1), p1);
  EXPECT_NE(to_vec(c1), to_vec(*v1));
  EXPECT_NE(p1, to_vec(*v1));
  // Another suite's label gives other seeds.
  std::array<uint8_t, 32> c3{};
  Bytes p3(32);
  ASSERT_TRUE(derive::derive_component_seeds(master, label_bytes(valtorimesca::suites::kLabelSrSh), c3, p3).ok());
  EXPECT_NE(c1, c3);
  EXPECT_NE(p1, p3);
}

TEST(Derive, JunctionPathsApplyCodesInOrder) {
  const auto parent = seed32(4);
  const derive::ChainCode a = seed32(5), b = seed32(6), c = seed32(7);
  auto j = [](std::span<const uint8_t, 32> p, const derive::ChainCode& code) {
    auto r = derive::derive_hard_junction(p, code);
    EXPECT_TRUE(r.ok());
    return to_vec(*r);
  };
  auto path = [&](std::vector<derive::ChainCode> codes) {
    auto r = derive::derive_hard_junction_path(parent, codes);
    EXPECT_TRUE(r.ok());
    return to_vec(*r);
  };
  auto fixed = [](const Bytes& v) {
    std::array<uint8_t, 32> s{};
    std::copy(v.begin(), v.end(), s.begin());
    return s;
  };
  const Bytes ja = j(parent, a);
  const Bytes jab = j(fixed(ja), b);
  EXPECT_EQ(path({}), Bytes(parent.begin(), parent.end()));
  EXPECT_EQ(path({a}), ja);
  EXPECT_EQ(path({a, b}), jab);
  EXPECT_NE(path({b, a}), jab);
  EXPECT_EQ(path({a, b, c}), j(fixed(jab), c));
  EXPECT_NE(path({a, a}), ja);
  EXPECT_NE(ja, j(parent, b));
}

}  // namespace
