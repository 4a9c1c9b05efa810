#include "valtorimesca/classical/ed25519/edwards.hpp"

#include <gtest/gtest.h>
#include <sodium.h>

#include <set>

#include "test_util.hpp"

namespace ed = valtorimesca::classical::ed25519::edwards;
using namespace ed_test;

namespace ed_test {
std::vector<Encoding> torsion_points_from_vectors() {
  const auto& j = vt_test::load_vectors("ed25519_zip215_small_order_196.json");
  std::vector<Encoding> seen;
  for (const auto& c : vt_test::field(j, "cases")) {
    const Encoding e = to_array<32>(vt_test::hex_field(c, "vk_bytes"));
    if (std::find(seen.begin(), seen.end(), e) == seen.end()) seen.push_back(e);
  }
  if (seen.size() != 14) throw std::runtime_error("expected 14 distinct small-order encodings");
  return seen;
}
}  // namespace ed_test

namespace {

Point base_multiple(uint64_t seed) { return ed::mul_base(random_scalar(seed)); }

Point repeated_sum(const Point& p, unsigned n) {
  Point acc = Point::identity();
  for (unsigned i = 0; i < n; ++i) acc = ed::add(acc, p);
  return acc;
}

TEST(Edwards, TorsionTableMatchesTheSmallOrderEncodings) {
  const auto all = torsion_points_from_vectors();
  // The first eight are the canonical encodings of the eight torsion points.
  for (size_t i = 0; i < 8; ++i) {
    const auto p = ed::decode_canonical(all[i]);
    ASSERT_TRUE(p.has_value()) << i;
    EXPECT_TRUE(ed::is_small_order(*p)) << i;
    EXPECT_EQ(ed::mul_by_cofactor(*p), Point::identity()) << i;
  }
  // The other six are non-canonical: refused by strict decoding, accepted by
  // relaxed decoding as one of the eight.
  for (size_t i = 8; i < 14; ++i) {
    EXPECT_FALSE(ed::decode_canonical(all[i]).has_value()) << i;
    const auto p = ed::decode_relaxed(all[i]);
    ASSERT_TRUE(p.has_value()) << i;
    EXPECT_TRUE(ed::is_small_order(*p)) << i;
    EXPECT_NE(std::find(all.begin(), all.begin() + 8, p->bytes()), all.begin() + 8) << i;
  }
  // A point of prime order is not small.
  EXPECT_FALSE(ed::is_small_order(base_multiple(1)));
}

TEST(Edwards, CanonicalFormReducesYAndClearsTheSignOfXZero) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      // y = p, p + 1, p + 18 = 2^255 - 1
      {"edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
       "0000000000000000000000000000000000000000000000000000000000000000"},
      {"eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
       "0100000000000000000000000000000000000000000000000000000000000000"},
      {"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
       "1200000000000000000000000000000000000000000000000000000000000080"},
      // y = p - 1 (not reduced further), sign bit dropped since x = 0
      {"ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
       "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"},
      // y = 1 with the sign bit, and y = 1 + p with the sign bit
      {"0100000000000000000000000000000000000000000000000000000000000080",
       "0100000000000000000000000000000000000000000000000000000000000000"},
      {"eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
       "0100000000000000000000000000000000000000000000000000000000000000"},
      // y = p - 2 is already reduced; the sign bit stays
      {"ebffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
       "ebffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"},
      {"ecfffffffffffffffffffffffffffffffffffffffffffffffffffffffffffe7f",
       "ecfffffffffffffffffffffffffffffffffffffffffffffffffffffffffffe7f"},
  };
  for (const auto& c : cases) EXPECT_EQ(vt_test::to_hex_c(ed::canonical_form(enc_hex(c.in))), c.out) << c.in;
}

TEST(Edwards, RelaxedDecodingOfUnreducedYMatchesTheReducedPoint) {
  // Every y in [p, 2^255) with either sign: decodes exactly when y - p does,
  // to the same point; strict decoding refuses all of them.
  int decodable = 0;
  for (unsigned low = 0; low < 19; ++low) {
    for (uint8_t sign : {uint8_t{0}, uint8_t{0x80}}) {
      Encoding unreduced;
      unreduced.fill(0xff);
      unreduced[0] = static_cast<uint8_t>(0xed + low);
      unreduced[31] = static_cast<uint8_t>(0x7f | sign);
      Encoding reduced{};
      reduced[0] = static_cast<uint8_t>(low);
      reduced[31] = sign;
      const auto a = ed::decode_relaxed(unreduced);
      const auto b = ed::decode_relaxed(reduced);
      EXPECT_FALSE(ed::decode_canonical(unreduced).has_value());
      ASSERT_EQ(a.has_value(), b.has_value()) << low;
      if (a) {
        ++decodable;
        EXPECT_EQ(*a, *b);
      }
    }
  }
  EXPECT_GT(decodable, 0);
  // 0x02 followed by zeros is not on the curve.
  EXPECT_FALSE(ed::decode_relaxed(enc_hex("0200000000000000000000000000000000000000000000000000000000000000")));
  // Strict decoding takes only 32 bytes.
  const Encoding b = base_multiple(2).bytes();
  EXPECT_TRUE(ed::decode_canonical(std::span<const uint8_t>(b)).has_value());
  EXPECT_FALSE(ed::decode_canonical(std::span<const uint8_t>(b.data(), 31)).has_value());
}

TEST(Edwards, PublicMultiplicationIsExactOnPointsWithTorsion) {
  const auto torsion = torsion_points_from_vectors();
  const Scalar order = group_order();
  for (size_t ti = 0; ti < 8; ++ti) {
    const Point t = *ed::decode_canonical(torsion[ti]);
    const Scalar q = random_scalar(100 + ti);
    const Point prime = ed::mul_base(q);
    const Point mixed = ed::add(prime, t);
    // Small multiples against repeated addition.
    for (unsigned n = 0; n < 20; ++n) {
      Scalar s{};
      s[0] = static_cast<uint8_t>(n);
      EXPECT_EQ(ed::mul_public(mixed, s), repeated_sum(mixed, n)) << ti << " " << n;
      EXPECT_EQ(ed::mul_public(t, s), repeated_sum(t, n)) << ti << " " << n;
    }
    // Large multiples: [n](Q + T) = [n q mod l]B + [n mod 8]T.
    for (uint64_t k = 0; k < 4; ++k) {
      const Scalar n = random_scalar(200 + 10 * ti + k);
      Scalar nq;
      crypto_core_ed25519_scalar_mul(nq.data(), n.data(), q.data());
      const Point expected = ed::add(ed::mul_base(nq), repeated_sum(t, n[0] & 7u));
      EXPECT_EQ(ed::mul_public(mixed, n), expected) << ti;
    }
    // [l](Q + T) = [l mod 8]T = [5]T, and [l]Q is the identity.
    EXPECT_EQ(ed::mul_public(mixed, order), repeated_sum(t, 5));
    EXPECT_EQ(ed::mul_public(prime, order), Point::identity());
  }
}

TEST(Edwards, BaseAndPrimeOrderMultiplicationAgreeWithPublicOne) {
  const Point h = ed::mul_by_cofactor(base_multiple(7));
  for (uint64_t k = 0; k < 8; ++k) {
    const Scalar n = random_scalar(300 + k);
    EXPECT_EQ(ed::mul_prime_order(h, n), ed::mul_public(h, n));
  }
  const Scalar zero{};
  EXPECT_EQ(ed::mul_base(zero), Point::identity());
  EXPECT_EQ(ed::mul_prime_order(h, zero), Point::identity());
  EXPECT_EQ(ed::mul_prime_order(h, group_order()), Point::identity());
  Scalar one{1};
  EXPECT_EQ(ed::mul_base(one).bytes(), enc_hex("5866666666666666666666666666666666666666666666666666666666666666"));
}

TEST(Edwards, ScalarCanonicity) {
  const Scalar order = group_order();
  Scalar below = order;
  below[0] -= 1;
  Scalar above = order;
  above[0] += 1;
  Scalar top{};
  top[31] = 0x80;
  Scalar zero{};
  EXPECT_TRUE(ed::scalar_is_canonical(below));
  EXPECT_TRUE(ed::scalar_is_canonical(zero));
  EXPECT_FALSE(ed::scalar_is_canonical(order));
  EXPECT_FALSE(ed::scalar_is_canonical(above));
  EXPECT_FALSE(ed::scalar_is_canonical(top));
  for (uint64_t k = 0; k < 16; ++k) EXPECT_TRUE(ed::scalar_is_canonical(random_scalar(k)));
}

}  // namespace
