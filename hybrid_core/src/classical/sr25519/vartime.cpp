#include "valtorimesca/classical/sr25519/vartime.hpp"

#include <decaf/point_255.h>

#include <cstring>

#include "fault/fault.hpp"

namespace valtorimesca::classical::sr25519::vartime {

namespace {

static_assert(sizeof(decaf_255_point_s) == 256 && alignof(decaf_255_point_s) <= 32,
              "PublicPoint's storage no longer fits libdecaf's point");

// libdecaf works on its own point type; PublicPoint holds its bytes.
struct Point {
  decaf_255_point_t p;
};

Point load(const unsigned char* repr) noexcept {
  Point q;
  std::memcpy(q.p, repr, sizeof(decaf_255_point_s));
  return q;
}

void store(unsigned char* repr, const Point& q) noexcept { std::memcpy(repr, q.p, sizeof(decaf_255_point_s)); }

struct Scalar {
  decaf_255_scalar_t s;
};

Scalar load_scalar(const uint8_t n[32]) {
  Scalar out;
  // libdecaf reduces a scalar of l or more and says so.
  fault::check(decaf_255_scalar_decode(out.s, n) == DECAF_SUCCESS, "scalar of l or more in a verification equation");
  return out;
}

}  // namespace

std::optional<PublicPoint> PublicPoint::decode(const uint8_t enc[32]) noexcept {
  // libdecaf decodes strictly: bit 255 set is not a canonical encoding.
  Point q;
  if (decaf_255_point_decode(q.p, enc, DECAF_TRUE) != DECAF_SUCCESS) return std::nullopt;
  PublicPoint out;
  store(out.repr_, q);
  return out;
}

PublicPoint PublicPoint::from_uniform_bytes(const uint8_t bytes[64]) noexcept {
  Point q;
  decaf_255_point_from_hash_uniform(q.p, bytes);
  PublicPoint out;
  store(out.repr_, q);
  return out;
}

void PublicPoint::encode(uint8_t out[32]) const noexcept {
  const Point q = load(repr_);
  decaf_255_point_encode(out, q.p);
}

PublicPoint PublicPoint::negated() const noexcept {
  const Point q = load(repr_);
  Point n;
  decaf_255_point_negate(n.p, q.p);
  PublicPoint out;
  store(out.repr_, n);
  return out;
}

PublicPoint PublicPoint::base_double_mul(const uint8_t a[32], const PublicPoint& p, const uint8_t b[32]) {
  const Scalar sa = load_scalar(a), sb = load_scalar(b);
  const Point q = load(p.repr_);
  Point r;
  // libdecaf 1.0 answers the identity for any a when b is zero; a*B is then
  // its base-point multiplication.
  if (decaf_255_scalar_eq(sb.s, decaf_255_scalar_zero))
    decaf_255_precomputed_scalarmul(r.p, decaf_255_precomputed_base, sa.s);
  else
    decaf_255_base_double_scalarmul_non_secret(r.p, sa.s, q.p, sb.s);
  PublicPoint out;
  store(out.repr_, r);
  return out;
}

PublicPoint PublicPoint::double_mul(const PublicPoint& p, const uint8_t a[32], const PublicPoint& q,
                                    const uint8_t b[32]) {
  const Scalar sa = load_scalar(a), sb = load_scalar(b);
  const Point pp = load(p.repr_), qq = load(q.repr_);
  Point r;
  decaf_255_point_double_scalarmul(r.p, pp.p, sa.s, qq.p, sb.s);
  PublicPoint out;
  store(out.repr_, r);
  return out;
}

}  // namespace valtorimesca::classical::sr25519::vartime
