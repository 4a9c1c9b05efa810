#include "valtorimesca/seeded_rng.hpp"

#include <gtest/gtest.h>

#include "vectors.hpp"

using vt_test::field;
using vt_test::hex_field;

TEST(SeededRng, ReproducesVectorStreamsAndMixedCalls) {
  const auto& v = vt_test::load_vectors("seeded_rng.json");
  const auto& cases = field(v, "cases");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    auto seed = hex_field(field(c, "seed"), "hex");
    ASSERT_EQ(seed.size(), 32u);
    {
      valtorimesca::SeededRng rng(seed.data());
      auto want = hex_field(c, "stream_first_256_hex");
      std::vector<uint8_t> got(want.size());
      rng.fill_bytes(got);
      EXPECT_EQ(got, want);
    }
    valtorimesca::SeededRng rng(seed.data());
    for (const auto& call : field(c, "mixed_calls")) {
      std::string op = vt_test::string_field(call, "op");
      if (op == "next_u32") {
        EXPECT_EQ(rng.next_u32(), field(call, "value").get<uint64_t>());
      } else if (op == "next_u64") {
        EXPECT_EQ(rng.next_u64(), field(call, "value").get<uint64_t>());
      } else {
        ASSERT_EQ(op.rfind("fill_bytes(", 0), 0u) << op;
        auto want = hex_field(call, "bytes_hex");
        std::vector<uint8_t> got(want.size());
        rng.fill_bytes(got);
        EXPECT_EQ(got, want);
      }
    }
  }
}
