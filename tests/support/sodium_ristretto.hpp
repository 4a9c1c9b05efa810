// libsodium's Ristretto255 as the reference for the library's variable-time
// verification arithmetic (libdecaf): decoding, the map of uniform bytes to
// the group, and the double-scalar
// multiplications done the slow way, as two single multiplications and an
// addition.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace vt_test::sodium_ristretto {

using Encoding = std::array<uint8_t, 32>;

inline bool is_point(const uint8_t p[32]) { return crypto_core_ristretto255_is_valid_point(p) == 1; }

// libsodium's own encoding of the point p decodes to (p + identity), or
// nothing when p is not a point.
inline std::optional<Encoding> reencode(const uint8_t p[32]) {
  const Encoding identity{};
  Encoding out{};
  if (crypto_core_ristretto255_add(out.data(), p, identity.data()) != 0) return std::nullopt;
  return out;
}

// n*P; an identity product is written as its encoding, 32 zero bytes.
inline Encoding mul(const uint8_t n[32], const uint8_t p[32]) {
  Encoding out{};
  if (crypto_scalarmult_ristretto255(out.data(), n, p) != 0) out.fill(0);
  return out;
}

inline Encoding base_mul(const uint8_t n[32]) {
  Encoding out{};
  if (crypto_scalarmult_ristretto255_base(out.data(), n) != 0) out.fill(0);
  return out;
}

inline Encoding add(const Encoding& a, const Encoding& b) {
  Encoding out{};
  if (crypto_core_ristretto255_add(out.data(), a.data(), b.data()) != 0) throw std::runtime_error("not a point");
  return out;
}

// a*B + b*P.
inline Encoding base_double_mul(const uint8_t a[32], const uint8_t p[32], const uint8_t b[32]) {
  return add(base_mul(a), mul(b, p));
}

// a*P + b*Q.
inline Encoding double_mul(const uint8_t p[32], const uint8_t a[32], const uint8_t q[32], const uint8_t b[32]) {
  return add(mul(a, p), mul(b, q));
}

// The encoding of the point 64 uniform bytes map to.
inline Encoding from_uniform_bytes(const uint8_t bytes[64]) {
  Encoding out{};
  if (crypto_core_ristretto255_from_hash(out.data(), bytes) != 0) throw std::runtime_error("no point");
  return out;
}

// -P.
inline Encoding negate(const uint8_t p[32]) {
  const Encoding identity{};
  Encoding out{};
  if (crypto_core_ristretto255_sub(out.data(), identity.data(), p) != 0) throw std::runtime_error("not a point");
  return out;
}

}  // namespace vt_test::sodium_ristretto
