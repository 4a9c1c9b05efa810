#include "valtorimesca/classical/ed25519/edwards.hpp"

#include <sodium.h>

#include <algorithm>
#include <cstring>

#include "fault/fault.hpp"
#include "subtle/ct_marks.hpp"
#include "subtle/subtle.hpp"

namespace valtorimesca::classical::ed25519::edwards {

namespace {

constexpr Encoding kIdentity = {0x01};

// The group order l = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr Scalar kOrder = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                           0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

// The canonical encodings of the eight points of order 1, 2, 4 and 8.
constexpr Encoding kTorsion[8] = {
    {0x01},
    {0xec, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
     0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f},
    {0x00},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4, 0x89, 0xf2, 0xef, 0x98, 0xf0,
     0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6, 0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x05},
    {0x26, 0xe8, 0x95, 0x8f, 0xc2, 0xb2, 0x27, 0xb0, 0x45, 0xc3, 0xf4, 0x89, 0xf2, 0xef, 0x98, 0xf0,
     0xd5, 0xdf, 0xac, 0x05, 0xd3, 0xc6, 0x33, 0x39, 0xb1, 0x38, 0x02, 0x88, 0x6d, 0x53, 0xfc, 0x85},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b, 0x76, 0x0d, 0x10, 0x67, 0x0f,
     0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39, 0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0x7a},
    {0xc7, 0x17, 0x6a, 0x70, 0x3d, 0x4d, 0xd8, 0x4f, 0xba, 0x3c, 0x0b, 0x76, 0x0d, 0x10, 0x67, 0x0f,
     0x2a, 0x20, 0x53, 0xfa, 0x2c, 0x39, 0xcc, 0xc6, 0x4e, 0xc7, 0xfd, 0x77, 0x92, 0xac, 0x03, 0xfa},
};

// Whether libsodium takes the canonical encoding as a point of the curve.
bool on_curve(const Encoding& e) noexcept {
  Encoding sum;
  return crypto_core_ed25519_add(sum.data(), e.data(), kIdentity.data()) == 0 && sum == e;
}

// Replaces out by the identity when rc signals an identity product, without
// a branch (rc is 0 or -1; the scalar may be secret).
void identity_if_failed(Encoding& out, int rc) noexcept {
  const uint8_t mask = subtle::black_box(static_cast<uint8_t>(0u - static_cast<unsigned>(rc != 0)));
  for (size_t i = 0; i < 32; ++i) out[i] = static_cast<uint8_t>((out[i] & ~mask) | (kIdentity[i] & mask));
}

const Scalar& inverse_of_eight() {
  static const Scalar inv = [] {
    Scalar eight{8}, r{};
    fault::check(crypto_core_ed25519_scalar_invert(r.data(), eight.data()) == 0, "inverse of 8 modulo l");
    return r;
  }();
  return inv;
}

// [m]T by repeated addition, for m below 8.
Point small_multiple(const Point& t, unsigned m) {
  Point acc = Point::identity();
  for (unsigned i = 0; i < m; ++i) acc = add(acc, t);
  return acc;
}

// Secret scalars reach this check too: every caller passes a scalar reduced
// modulo l, whose top bit is zero whatever the secret, so the verdict
// reveals nothing and only a broken invariant makes it fail.
void check_scalar_range(const Scalar& n) {
  fault::check(subtle::public_value((n[31] & 0x80) == 0), "scalar of 2^255 or more in a point multiplication");
}

}  // namespace

void ensure_library_ready() {
  static const bool ready = sodium_init() >= 0;
  fault::check(ready, "libsodium initialisation failed");
}

Point Point::identity() noexcept { return Point(kIdentity); }

Encoding canonical_form(std::span<const uint8_t, 32> enc) noexcept {
  Encoding y;
  std::copy(enc.begin(), enc.end(), y.begin());
  uint8_t sign = static_cast<uint8_t>(y[31] >> 7);
  y[31] &= 0x7f;
  // y >= p = 2^255 - 19 only for the 19 values ed..ff ff..ff 7f.
  const bool high = y[31] == 0x7f && std::all_of(y.begin() + 1, y.begin() + 31, [](uint8_t b) { return b == 0xff; });
  if (high && y[0] >= 0xed) {
    const uint8_t low = static_cast<uint8_t>(y[0] - 0xed);
    y.fill(0);
    y[0] = low;
  }
  // x = 0 exactly for y = 1 and y = -1; the only encoding of x = 0 is positive.
  if (y == kTorsion[0] || y == kTorsion[1]) sign = 0;
  y[31] = static_cast<uint8_t>(y[31] | (sign << 7));
  return y;
}

std::optional<Point> decode_relaxed(std::span<const uint8_t, 32> enc) noexcept {
  const Encoding c = canonical_form(enc);
  if (!on_curve(c)) return std::nullopt;
  return Point::from_trusted(c);
}

std::optional<Point> decode_canonical(std::span<const uint8_t> enc) noexcept {
  if (enc.size() != 32) return std::nullopt;
  const std::span<const uint8_t, 32> e(enc.data(), 32);
  const Encoding c = canonical_form(e);
  if (!std::equal(c.begin(), c.end(), e.begin()) || !on_curve(c)) return std::nullopt;
  return Point::from_trusted(c);
}

bool is_small_order(const Point& p) noexcept {
  return std::any_of(std::begin(kTorsion), std::end(kTorsion), [&](const Encoding& t) { return t == p.bytes(); });
}

Point add(const Point& a, const Point& b) {
  Encoding r;
  if (crypto_core_ed25519_add(r.data(), a.bytes().data(), b.bytes().data()) != 0)
    fault::raise("point addition refused a decoded point");
  return Point::from_trusted(r);
}

Point sub(const Point& a, const Point& b) {
  Encoding r;
  if (crypto_core_ed25519_sub(r.data(), a.bytes().data(), b.bytes().data()) != 0)
    fault::raise("point subtraction refused a decoded point");
  return Point::from_trusted(r);
}

Point mul_by_cofactor(const Point& p) {
  Point r = add(p, p);
  r = add(r, r);
  return add(r, r);
}

Point mul_public(const Point& p, const Scalar& n) {
  check_scalar_range(n);
  if (is_small_order(p)) return small_multiple(p, n[0] & 7u);
  Encoding out;
  if (crypto_scalarmult_ed25519_noclamp(out.data(), n.data(), p.bytes().data()) == 0) return Point::from_trusted(out);
  // Either P has a torsion component or the product is the identity; the
  // split below is exact in both cases.
  const Point p8 = mul_by_cofactor(p);
  Encoding p1;
  if (crypto_scalarmult_ed25519_noclamp(p1.data(), inverse_of_eight().data(), p8.bytes().data()) != 0)
    fault::raise("prime-order part of a point");
  const Point prime = Point::from_trusted(p1);
  const Point torsion = sub(p, prime);
  return add(mul_prime_order(prime, n), small_multiple(torsion, n[0] & 7u));
}

Point mul_base(const Scalar& n) noexcept {
  Encoding out;
  const int rc = crypto_scalarmult_ed25519_base_noclamp(out.data(), n.data());
  identity_if_failed(out, rc);
  return Point::from_trusted(out);
}

Point mul_prime_order(const Point& p, const Scalar& n) {
  check_scalar_range(n);
  Encoding out = kIdentity;
  const int rc = crypto_scalarmult_ed25519_noclamp(out.data(), n.data(), p.bytes().data());
  identity_if_failed(out, rc);
  return Point::from_trusted(out);
}

bool scalar_is_canonical(std::span<const uint8_t, 32> s) noexcept {
  for (size_t i = 32; i-- > 0;) {
    if (s[i] != kOrder[i]) return s[i] < kOrder[i];
  }
  return false;
}

}  // namespace valtorimesca::classical::ed25519::edwards
