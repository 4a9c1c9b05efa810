#include "valtorimesca/classical/sr25519/vartime.hpp"

#include <decaf/point_255.h>

#include <cstring>
#include <iterator>

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

// Signed digits of a scalar below 2^253 in width-5 non-adjacent form: each
// digit is zero or odd in [-15, 15], a non-zero digit is followed by at least
// four zeros, and sum(d[i] * 2^i) is the scalar. A negative digit carries one
// into the position after its window, so one position past bit 252 is
// enough; the array leaves a few more.
constexpr int kNafWidth = 5;
constexpr int kNafDigits = 258;

int bit_of(const uint8_t n[32], int i) noexcept { return i < 256 ? (n[i >> 3] >> (i & 7)) & 1 : 0; }

// Returns the position of the highest non-zero digit, or -1 for zero.
int recode_naf(int8_t d[kNafDigits], const uint8_t n[32]) noexcept {
  std::memset(d, 0, kNafDigits);
  int top = -1, carry = 0;
  for (int i = 0; i < kNafDigits;) {
    if (bit_of(n, i) == carry) {  // this position's value is 0 or 2: digit 0, the carry moves on unchanged
      ++i;
      continue;
    }
    int window = carry;
    for (int j = 0; j < kNafWidth; ++j) window += bit_of(n, i + j) << j;
    // window is odd and below 2^5: take it as it is, or as window - 32
    // with one carried into position i + 5.
    carry = window >> (kNafWidth - 1);
    d[i] = static_cast<int8_t>(window - (carry << kNafWidth));
    top = i;
    i += kNafWidth;
  }
  return top;
}

// P, 3P, 5P, ..., 15P: the multiples a digit of the recoding selects.
struct OddMultiples {
  Point m[1 << (kNafWidth - 2)];
};

void fill_odd_multiples(OddMultiples& t, const Point& p) noexcept {
  Point twice;
  decaf_255_point_double(twice.p, p.p);
  t.m[0] = p;
  for (size_t k = 1; k < std::size(t.m); ++k) decaf_255_point_add(t.m[k].p, t.m[k - 1].p, twice.p);
}

// r += digit * P for a digit of the recoding.
void add_digit(Point& r, const OddMultiples& t, int digit) noexcept {
  if (digit > 0)
    decaf_255_point_add(r.p, r.p, t.m[digit >> 1].p);
  else if (digit < 0)
    decaf_255_point_sub(r.p, r.p, t.m[(-digit) >> 1].p);
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
  (void)load_scalar(a), (void)load_scalar(b);  // both below l, or a fault
  int8_t da[kNafDigits], db[kNafDigits];
  const int top_a = recode_naf(da, a), top_b = recode_naf(db, b);
  const int top = top_a > top_b ? top_a : top_b;
  Point r;
  decaf_255_point_copy(r.p, decaf_255_point_identity);
  if (top >= 0) {
    OddMultiples mp, mq;
    fill_odd_multiples(mp, load(p.repr_));
    fill_odd_multiples(mq, load(q.repr_));
    for (int i = top; i >= 0; --i) {
      if (i != top) decaf_255_point_double(r.p, r.p);
      add_digit(r, mp, da[i]);
      add_digit(r, mq, db[i]);
    }
  }
  PublicPoint out;
  store(out.repr_, r);
  return out;
}

}  // namespace valtorimesca::classical::sr25519::vartime
