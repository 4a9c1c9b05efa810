// The stateless-suite and seed entry points of the suite ABI.
#include <gtest/gtest.h>

#include <vector>

#include "valtorimesca_abi/seed.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateless_suites.hpp"
#include "valtorimesca_abi/verify.hpp"

namespace {

using namespace valtorimesca_abi;
using Bytes = std::vector<uint8_t>;

constexpr SuiteCode kAll[] = {SuiteCode::ED_ML_44,  SuiteCode::ED_FN_512, SuiteCode::SR_ML_44,
                              SuiteCode::SR_FN_512, SuiteCode::ED_SH,     SuiteCode::SR_SH};
constexpr SuiteCode kStateless[] = {SuiteCode::ED_ML_44, SuiteCode::ED_FN_512, SuiteCode::SR_ML_44,
                                    SuiteCode::SR_FN_512};

uint8_t code_of(const AbiStatus& s) { return s ? 0 : code(s.error()); }
template <class T>
uint8_t code_of(const AbiResult<T>& s) {
  return s ? 0 : code(s.error());
}

TEST(StatelessAbi, KeygenTestsSeedThenGroupThenBuffers) {
  for (SuiteCode c : kAll) {
    const auto z = sizes(c);
    Bytes sk(z.secret_key), pk(z.public_key);
    EXPECT_EQ(code_of(stateless_suites::keygen_from_seed(c, Bytes(31), sk, pk)), 1);
    const bool stateful = c == SuiteCode::ED_SH || c == SuiteCode::SR_SH;
    EXPECT_EQ(code_of(stateless_suites::keygen_from_seed(c, Bytes(32), sk, pk)), stateful ? 16 : 0);
  }
  Bytes sk(2624, 0x33), pk(1343, 0x44);
  EXPECT_EQ(code_of(stateless_suites::keygen_from_seed(SuiteCode::ED_ML_44, Bytes(32), sk, pk)), 1);
  EXPECT_EQ(sk, Bytes(2624, 0x33));
  EXPECT_EQ(pk, Bytes(1343, 0x44));
}

TEST(StatelessAbi, SignCodesInTheirOrder) {
  Bytes out(4000);
  EXPECT_EQ(code_of(stateless_suites::sign(SuiteCode::ED_SH, {}, {}, Bytes(300), out)), 16);
  EXPECT_EQ(code_of(stateless_suites::sign_deterministic(SuiteCode::SR_SH, {}, {}, {}, {}, out)), 16);
  for (SuiteCode c : kStateless) {
    EXPECT_EQ(code_of(stateless_suites::sign(c, Bytes(5), {}, Bytes(256), out)), 2);
    EXPECT_EQ(code_of(stateless_suites::sign_deterministic(c, Bytes(5), {}, {}, {}, out)), 1);
  }
}

TEST(StatelessAbi, SignCountsAndVerifyDispatches) {
  for (SuiteCode c : kStateless) {
    const auto z = sizes(c);
    Bytes sk(z.secret_key), pk(z.public_key);
    ASSERT_EQ(code_of(stateless_suites::keygen_from_seed(c, Bytes(32, 0x42), sk, pk)), 0);
    const Bytes msg = {'m'}, ctx = {'c'};
    Bytes small(z.signature - 1);
    EXPECT_EQ(code_of(stateless_suites::sign(c, sk, msg, ctx, small)), 3);
    Bytes out(z.signature + 1, 0x77);
    auto n = stateless_suites::sign(c, sk, msg, ctx, out);
    ASSERT_TRUE(n.ok());
    EXPECT_EQ(*n, z.signature);
    EXPECT_EQ(out.back(), 0x77);
    out.pop_back();
    EXPECT_TRUE(verify::verify(c, pk, msg, ctx, out));
    EXPECT_FALSE(verify::verify(c, pk, msg, Bytes(256), out));
    Bytes pk_short(pk.begin(), pk.end() - 1), pk_long = pk;
    pk_long.push_back(0);
    EXPECT_FALSE(verify::verify(c, pk_short, msg, ctx, out));
    EXPECT_FALSE(verify::verify(c, pk_long, msg, ctx, out));
    if (z.signature == 731) {
      EXPECT_EQ(out[64], 255);
    }

    Bytes d1(z.signature), d2(z.signature);
    ASSERT_TRUE(stateless_suites::sign_deterministic(c, sk, msg, ctx, Bytes{'n'}, d1).ok());
    ASSERT_TRUE(stateless_suites::sign_deterministic(c, sk, msg, ctx, Bytes{'n'}, d2).ok());
    EXPECT_EQ(d1, d2);
    EXPECT_TRUE(verify::verify(c, pk, msg, ctx, d1));
  }
}

TEST(SeedAbi, JunctionPathAndMnemonic) {
  Seed32 parent{};
  parent.fill(9);
  Seed32 out{};
  out.fill(1);
  ASSERT_TRUE(seed::derive_hard_junction_path(parent, {}, out).ok());
  EXPECT_EQ(out, parent);

  Seed32 chain{};
  chain.fill(2);
  Seed32 child{}, via_path{};
  ASSERT_TRUE(seed::derive_hard_junction(parent, chain, child).ok());
  const Seed32 codes[] = {chain};
  ASSERT_TRUE(seed::derive_hard_junction_path(parent, codes, via_path).ok());
  EXPECT_EQ(child, via_path);
  EXPECT_NE(child, parent);

  Seed32 m{};
  m.fill(0x5C);
  const std::string twelve =
      "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";
  auto bad = seed::master_seed_from_mnemonic(twelve + " abandon", std::nullopt, m);
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(code(bad.error()), 21);
  Seed32 untouched{};
  untouched.fill(0x5C);
  EXPECT_EQ(m, untouched);
  EXPECT_TRUE(seed::master_seed_from_mnemonic(twelve, std::nullopt, m).ok());
}

}  // namespace
