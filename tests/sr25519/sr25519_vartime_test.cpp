// The variable-time verification arithmetic (libdecaf) against libsodium:
// decoding accepts exactly the canonical encodings (libsodium's, with bit 255
// clear) and gives libsodium's point, 64 uniform bytes map to libsodium's
// point, and the double-scalar multiplications equal two single
// multiplications and an addition, on edge and random scalars and points.
// Then the verification equations on encodings whose bit 255 is set: another
// byte string for a valid key or pre-output, refused.
#include <gtest/gtest.h>

#include <vector>

#include "fault/fault.hpp"
#include "merlin/merlin.hpp"
#include "sodium_ristretto.hpp"
#include "test_util.hpp"
#include "valtorimesca/classical/sr25519/vartime.hpp"
#include "vectors.hpp"

namespace {

using namespace sr_test;
using valtorimesca::classical::sr25519::vartime::PublicPoint;
namespace ref = vt_test::sodium_ristretto;
using Enc = ref::Encoding;

// p = 2^255 - 19 and l = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr Enc kP = {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f};
constexpr Enc kL = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

// x + d and x - d for a small d (no wrap-around past 32 bytes in use here).
Enc plus(Enc x, unsigned d) {
  for (size_t i = 0; i < 32 && d; ++i) {
    const unsigned v = x[i] + d;
    x[i] = static_cast<uint8_t>(v);
    d = v >> 8;
  }
  return x;
}
Enc minus(Enc x, unsigned d) {
  for (size_t i = 0; i < 32 && d; ++i) {
    const int v = int(x[i]) - int(d);
    x[i] = static_cast<uint8_t>(v);
    d = v < 0 ? 1 : 0;
  }
  return x;
}
Enc with_top_bit(Enc x) {
  x[31] |= 0x80;
  return x;
}
Enc reduced(uint64_t seed) {
  const auto wide = vt_test::pseudo_random_bytes(seed, 64);
  Enc s{};
  crypto_core_ristretto255_scalar_reduce(s.data(), wide.data());
  return s;
}
Enc random_point(uint64_t seed) {
  const auto wide = vt_test::pseudo_random_bytes(seed, 64);
  Enc p{};
  crypto_core_ristretto255_from_hash(p.data(), wide.data());
  return p;
}
Enc small(unsigned n) {
  Enc s{};
  s[0] = static_cast<uint8_t>(n);
  s[1] = static_cast<uint8_t>(n >> 8);
  return s;
}
// 2^k for k < 253.
Enc power_of_two(unsigned k) {
  Enc s{};
  s[k / 8] = static_cast<uint8_t>(1u << (k % 8));
  return s;
}

PublicPoint decoded(const Enc& e) {
  const auto p = PublicPoint::decode(e.data());
  if (!p) throw std::runtime_error("not a point");
  return *p;
}
Enc encoding(const PublicPoint& p) {
  Enc out{};
  p.encode(out.data());
  return out;
}

// Points: the identity, small multiples of B and random points.
std::vector<Enc> points() {
  std::vector<Enc> ps = {Enc{}};
  for (unsigned n : {1u, 2u, 3u, 8u, 255u}) ps.push_back(ref::base_mul(small(n).data()));
  for (uint64_t i = 0; i < 10; ++i) ps.push_back(random_point(100 + i));
  return ps;
}

// Scalars: 0, 1, 2, l-1, l-2, (l-1)/2, 2^252 +- 1 and 2^252 itself (the top
// bits l allows), 2^64 - 1, 2^128, and random reduced scalars.
std::vector<Enc> scalars() {
  Enc half{};
  const Enc lm1 = minus(kL, 1);
  for (size_t i = 0; i < 32; ++i) half[i] = static_cast<uint8_t>((lm1[i] >> 1) | (i + 1 < 32 ? lm1[i + 1] << 7 : 0));
  Enc ones64{};
  for (size_t i = 0; i < 8; ++i) ones64[i] = 0xff;
  std::vector<Enc> ss = {Enc{},
                         small(1),
                         small(2),
                         lm1,
                         minus(kL, 2),
                         half,
                         minus(power_of_two(252), 1),
                         power_of_two(252),
                         plus(power_of_two(252), 1),
                         ones64,
                         power_of_two(128)};
  for (uint64_t i = 0; i < 8; ++i) ss.push_back(reduced(200 + i));
  return ss;
}

// libsodium 1.0.18 reads the low 255 bits; a canonical encoding has bit 255
// clear as well.
bool canonical_point(const Enc& e) { return (e[31] & 0x80) == 0 && ref::is_point(e.data()); }

void expect_same_decoding(const Enc& e, const char* what) {
  const auto ours = PublicPoint::decode(e.data());
  ASSERT_EQ(ours.has_value(), canonical_point(e)) << what << " " << vt_test::to_hex(e.data(), 32);
  if (ours) {
    EXPECT_EQ(encoding(*ours), *ref::reencode(e.data())) << what << " " << vt_test::to_hex(e.data(), 32);
  }
}

TEST(Sr25519Vartime, DecodesExactlyTheCanonicalEncodings) {
  // Values at and past p (never canonical), p - 1 (y = 0), 1 (odd), all
  // ones, each also with bit 255 set.
  std::vector<Enc> edge;
  for (unsigned d = 0; d < 19; ++d) edge.push_back(plus(kP, d));
  for (const Enc& e : {minus(kP, 1), minus(kP, 2), small(1), small(2), Enc{}}) edge.push_back(e);
  Enc ones;
  ones.fill(0xff);
  edge.push_back(ones);
  for (size_t i = 0, n = edge.size(); i < n; ++i) edge.push_back(with_top_bit(edge[i]));
  for (const Enc& e : edge) expect_same_decoding(e, "edge");

  // Valid encodings, their negatives p - s (odd: refused) and s + 2 (mostly
  // not a point), with and without bit 255.
  for (unsigned n = 0; n < 64; ++n) {
    const Enc e = ref::base_mul(small(n).data());
    Enc neg{};
    unsigned borrow = 0;
    for (size_t i = 0; i < 32; ++i) {
      const int v = int(kP[i]) - int(e[i]) - int(borrow);
      neg[i] = static_cast<uint8_t>(v);
      borrow = v < 0;
    }
    for (const Enc& x : {e, neg, plus(e, 2)}) {
      expect_same_decoding(x, "multiple");
      expect_same_decoding(with_top_bit(x), "multiple, bit 255");
    }
  }
  for (uint64_t i = 0; i < 200; ++i) {
    expect_same_decoding(random_point(1000 + i), "random point");
    expect_same_decoding(with_top_bit(random_point(1000 + i)), "random point, bit 255");
  }

  // Random bytes; even ones below 2^255 are canonical more often.
  size_t valid = 0;
  for (uint64_t i = 0; i < 60000; ++i) {
    const auto r = vt_test::pseudo_random_bytes(5000 + i, 32);
    Enc e;
    std::copy(r.begin(), r.end(), e.begin());
    if (i % 3 == 1) e[0] &= 0xfe;
    if (i % 3 == 2) e[31] &= 0x7f, e[0] &= 0xfe;
    expect_same_decoding(e, "random bytes");
    valid += canonical_point(e);
  }
  EXPECT_GT(valid, 5000u);  // the agreement covered accepted encodings too
}

TEST(Sr25519Vartime, UniformBytesMapToLibsodiumsPoint) {
  // Halves where the map is most likely to part ways: 0, 1, p - 1, the
  // values p to p + 18 (not reduced), 2^255 - 1, and the four field elements
  // t with t^2 = i/d or t^2 = i*d (i^2 = -1), where the Elligator
  // denominator (1 + r*d)(r + d), r = i*t^2, vanishes. Each also with bit
  // 255 set, which the map ignores.
  std::vector<Enc> halves = {Enc{}, small(1), minus(kP, 1), minus(with_top_bit(Enc{}), 1)};
  for (unsigned d = 0; d < 19; ++d) halves.push_back(plus(kP, d));
  for (const char* t : {"40256ac5e4c73af6057c6d5120f90c4362ab4ad9015bc365598daca048bac400",
                        "adda953a1b38c509fa8392aedf06f3bc9d54b526fea43c9aa672535fb7453b7f",
                        "45e4a3b534d5cf8a559215f1d2564332ea91148c66abcb8a6814840ba7aa4c7a",
                        "a81b5c4acb2a3075aa6dea0e2da9bccd156eeb739954347597eb7bf45855b305"}) {
    const auto b = vt_test::from_hex(t);
    halves.push_back(Enc{});
    std::copy(b.begin(), b.end(), halves.back().begin());
  }
  for (size_t i = 0, n = halves.size(); i < n; ++i) halves.push_back(with_top_bit(halves[i]));
  for (uint64_t i = 0; i < 8; ++i) {
    const auto r = vt_test::pseudo_random_bytes(7000 + i, 32);
    halves.push_back(Enc{});
    std::copy(r.begin(), r.end(), halves.back().begin());
  }

  const auto expect_same = [](const uint8_t wide[64], const char* what) {
    EXPECT_EQ(encoding(PublicPoint::from_uniform_bytes(wide)), ref::from_uniform_bytes(wide))
        << what << " " << vt_test::to_hex(wide, 64);
  };
  uint8_t wide[64];
  for (const Enc& lo : halves)
    for (const Enc& hi : halves) {
      std::copy(lo.begin(), lo.end(), wide);
      std::copy(hi.begin(), hi.end(), wide + 32);
      expect_same(wide, "edge halves");
    }
  for (uint64_t i = 0; i < 20000; ++i) {
    const auto r = vt_test::pseudo_random_bytes(8000 + i, 64);
    expect_same(r.data(), "random bytes");
  }
}

TEST(Sr25519Vartime, DoubleScalarMultiplicationsEqualLibsodiums) {
  const auto ps = points();
  const auto ss = scalars();
  for (size_t i = 0; i < ps.size(); ++i) {
    const PublicPoint p = decoded(ps[i]);
    EXPECT_EQ(encoding(p.negated()), ref::negate(ps[i].data())) << "point " << i;
    const PublicPoint q = decoded(ps[(i * 7 + 3) % ps.size()]);
    for (size_t a = 0; a < ss.size(); ++a)
      for (size_t b = 0; b < ss.size(); ++b) {
        if ((a * 31 + b * 17 + i) % 3 != 0 && a > 2 && b > 2) continue;  // a third of the inner pairs
        EXPECT_EQ(encoding(PublicPoint::base_double_mul(ss[a].data(), p, ss[b].data())),
                  ref::base_double_mul(ss[a].data(), ps[i].data(), ss[b].data()))
            << "point " << i << " scalars " << a << ", " << b;
        EXPECT_EQ(encoding(PublicPoint::double_mul(p, ss[a].data(), q, ss[b].data())),
                  ref::double_mul(ps[i].data(), ss[a].data(), ps[(i * 7 + 3) % ps.size()].data(), ss[b].data()))
            << "point " << i << " scalars " << a << ", " << b;
      }
  }
  // Random points and scalars.
  for (uint64_t i = 0; i < 300; ++i) {
    const Enc p = random_point(3000 + i), q = random_point(4000 + i), a = reduced(5000 + i), b = reduced(6000 + i);
    ASSERT_EQ(encoding(PublicPoint::base_double_mul(a.data(), decoded(p), b.data())),
              ref::base_double_mul(a.data(), p.data(), b.data()))
        << i;
    ASSERT_EQ(encoding(PublicPoint::double_mul(decoded(p), a.data(), decoded(q), b.data())),
              ref::double_mul(p.data(), a.data(), q.data(), b.data()))
        << i;
  }
}

TEST(Sr25519Vartime, ScalarsOfTheOrderOrMoreAreAFault) {
  const PublicPoint b = decoded(ref::base_mul(small(1).data()));
  for (const Enc& s : {kL, plus(kL, 1), with_top_bit(Enc{})}) {
    EXPECT_THROW(PublicPoint::base_double_mul(s.data(), b, small(1).data()), fault::InternalFault);
    EXPECT_THROW(PublicPoint::base_double_mul(small(1).data(), b, s.data()), fault::InternalFault);
    EXPECT_THROW(PublicPoint::double_mul(b, s.data(), b, small(1).data()), fault::InternalFault);
  }
}

// The sr25519 challenge scalar of a transcript.
Enc challenge(merlin::Transcript& t, const char* label) {
  uint8_t wide[64];
  t.challenge_bytes(label, std::span<uint8_t>(wide, 64));
  Enc k{};
  crypto_core_ristretto255_scalar_reduce(k.data(), wide);
  return k;
}

Enc scalar_of(const Keys& k) {
  Enc x{};
  std::copy_n(k.sk.begin(), 32, x.begin());
  return x;
}

TEST(Sr25519Vartime, KeyWithBit255SetIsRefused) {
  // A signature whose transcript commits the key bytes with bit 255 set
  // would verify if those bytes decoded as the key: they must not.
  const Keys k = keys_from(61);
  const Enc pk_hi = with_top_bit(Enc(k.pk));
  const auto msg = str("top bit");
  merlin::Transcript t("SigningContext");
  t.append_message("", label_sr_ml());
  t.append_message("sign-bytes", msg);
  t.append_message("proto-name", merlin::bytes_of("Schnorr-sig"));
  t.append_message("sign:pk", pk_hi);
  const Enc r = reduced(77);
  const Enc big_r = ref::base_mul(r.data());
  t.append_message("sign:R", big_r);
  const Enc c = challenge(t, "sign:c");
  Enc cx{}, s{};
  crypto_core_ristretto255_scalar_mul(cx.data(), c.data(), scalar_of(k).data());
  crypto_core_ristretto255_scalar_add(s.data(), cx.data(), r.data());
  std::array<uint8_t, 64> sig{};
  std::copy(big_r.begin(), big_r.end(), sig.begin());
  std::copy(s.begin(), s.end(), sig.begin() + 32);
  sig[63] |= 0x80;
  EXPECT_FALSE(Sr25519::verify(pk_hi, msg, label_sr_ml(), sig).declassify());
  EXPECT_FALSE(Sr25519::verify(k.pk, msg, label_sr_ml(), sig).declassify());
  EXPECT_FALSE(PublicPoint::decode(pk_hi.data()).has_value());
  EXPECT_FALSE(Sr25519::vrf_make_bytes(pk_hi, label_sr_ml(), msg, k.pk, str("ctx")).ok());
}

TEST(Sr25519Vartime, PreOutputWithBit255SetIsRefused) {
  // A DLEQ proof that commits the pre-output bytes with bit 255 set would
  // give the key holder a second output for one input; it must not verify,
  // and those bytes give no output.
  const Keys k = keys_from(62);
  const auto input = str("epoch");
  merlin::Transcript ht("SigningContext");
  ht.append_message("", label_sr_ml());
  ht.append_message("sign-bytes", input);
  ht.append_message("vrf-nm-pk", k.pk);
  uint8_t wide[64];
  ht.challenge_bytes("VRFHash", std::span<uint8_t>(wide, 64));
  Enc h{};
  crypto_core_ristretto255_from_hash(h.data(), wide);
  const Enc x = scalar_of(k);
  const auto prove = [&](const Enc& pre) {
    merlin::Transcript e("VRF");
    e.append_message("proto-name", merlin::bytes_of("DLEQProof"));
    e.append_message("vrf:h", h);
    const Enc r = reduced(88);
    e.append_message("vrf:R=g^r", ref::base_mul(r.data()));
    e.append_message("vrf:h^r", ref::mul(r.data(), h.data()));
    e.append_message("vrf:pk", k.pk);
    e.append_message("vrf:h^sk", pre);
    const Enc c = challenge(e, "prove");
    Enc cx{}, s{};
    crypto_core_ristretto255_scalar_mul(cx.data(), c.data(), x.data());
    crypto_core_ristretto255_scalar_sub(s.data(), r.data(), cx.data());
    std::array<uint8_t, 64> proof{};
    std::copy(c.begin(), c.end(), proof.begin());
    std::copy(s.begin(), s.end(), proof.begin() + 32);
    return proof;
  };
  const Enc pre = ref::mul(x.data(), h.data());
  const Enc pre_hi = with_top_bit(pre);
  EXPECT_FALSE(Sr25519::vrf_verify(k.pk, label_sr_ml(), input, pre_hi, prove(pre_hi)).declassify());
  EXPECT_FALSE(Sr25519::vrf_verify(k.pk, label_sr_ml(), input, pre, prove(pre_hi)).declassify());
  EXPECT_TRUE(Sr25519::vrf_verify(k.pk, label_sr_ml(), input, pre, prove(pre)).declassify());
  EXPECT_FALSE(Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), input, pre_hi, str("ctx")).ok());
  EXPECT_TRUE(Sr25519::vrf_make_bytes(k.pk, label_sr_ml(), input, pre, str("ctx")).ok());
}

}  // namespace
