// Edwards25519 group helpers on top of libsodium's public point API.
//
// libsodium's point functions take canonical encodings only, and its
// variable-base multiplication refuses every point outside the prime-order
// subgroup. Ed25519 verification (ZIP 215) and the ECVRF need more: relaxed
// decoding of encodings whose y is not reduced, and exact multiples of
// points that carry a torsion component. Those are built here from the
// public API. Everything marked "public" runs in variable time and must only
// see public data; mul_base and mul_prime_order are constant time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace valtorimesca::classical::ed25519::edwards {

using Encoding = std::array<uint8_t, 32>;

// Runs libsodium's one-time initialisation (once per process, on first
// use); a failure is an internal fault. Every entry point of the component
// calls it before touching libsodium.
void ensure_library_ready();
using Scalar = std::array<uint8_t, 32>;

// A point of the curve, held as its canonical 32-byte encoding. Values of
// this type always name a point on the curve (possibly of small order).
class Point {
 public:
  static Point identity() noexcept;
  const Encoding& bytes() const noexcept { return enc_; }
  bool operator==(const Point& o) const noexcept = default;

  // Only for encodings already known to be canonical points of the curve
  // (outputs of libsodium's encoders).
  static Point from_trusted(const Encoding& e) noexcept { return Point(e); }

 private:
  explicit Point(const Encoding& e) noexcept : enc_(e) {}
  Encoding enc_;
};

// The canonical form of an encoding: y reduced modulo p = 2^255 - 19 and,
// for y = +1 or -1 (where x = 0), the sign bit cleared. Says nothing about
// whether the encoding names a point at all. Public.
Encoding canonical_form(std::span<const uint8_t, 32> enc) noexcept;

// ZIP 215 decoding: any encoding whose y (taken modulo p) has a matching x
// decodes, canonical or not, including x = 0 with the sign bit set. Public.
std::optional<Point> decode_relaxed(std::span<const uint8_t, 32> enc) noexcept;

// RFC 8032 / RFC 9381 decoding: as above, and re-encoding the point must give
// back exactly the input bytes. Public.
std::optional<Point> decode_canonical(std::span<const uint8_t> enc) noexcept;

// Whether the point is one of the eight points of order dividing 8. Public.
bool is_small_order(const Point& p) noexcept;

Point add(const Point& a, const Point& b);
Point sub(const Point& a, const Point& b);
// [8]P by three doublings. Public.
Point mul_by_cofactor(const Point& p);

// [n]P for any point P and any scalar n below 2^255, torsion included.
// Prime-order points take libsodium's multiplication directly; other points
// are split as P = P1 + T (P1 = [1/8 mod l][8]P in the prime-order subgroup,
// T of order dividing 8) and [n]P = [n]P1 + [n mod 8]T. Public.
Point mul_public(const Point& p, const Scalar& n);

// [n]B for the base point B. Constant time in n; n below 2^255.
Point mul_base(const Scalar& n) noexcept;

// [n]P for a point P of the prime-order subgroup other than the identity
// (for instance [8]Q of a point Q not of small order). Constant time in n;
// n below 2^255. The caller guarantees the subgroup membership.
Point mul_prime_order(const Point& p, const Scalar& n);

// Whether a little-endian scalar is below the group order l. Public.
bool scalar_is_canonical(std::span<const uint8_t, 32> s) noexcept;

}  // namespace valtorimesca::classical::ed25519::edwards
