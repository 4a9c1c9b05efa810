// Variable-time Ristretto255 arithmetic for the verification equations of
// sr25519 signatures and VRF proofs, and the map of a VRF input's bytes to
// the group, on libdecaf. Everything handled here is
// public (keys, signatures, proofs, pre-outputs, challenges): the running time
// depends on the scalars and points. Every operation on a secret stays on
// libsodium's constant-time routines (ristretto.hpp).
//
// Byte forms are libsodium's: points are compressed Ristretto255 encodings,
// scalars 32 little-endian bytes below the group order l.
#pragma once

#include <cstdint>
#include <optional>

namespace valtorimesca::classical::sr25519::vartime {

class PublicPoint {
 public:
  // Accepts exactly the canonical encodings, the identity (32 zero bytes)
  // included: those libsodium's crypto_core_ristretto255_is_valid_point
  // accepts with bit 255 clear. (libsodium 1.0.18 ignores that bit; an
  // encoding with it set is refused here, as curve25519-dalek refuses it.)
  static std::optional<PublicPoint> decode(const uint8_t enc[32]) noexcept;

  // ristretto255's map of 64 uniform bytes to the group (each 32-byte half
  // through Elligator, the two points added): the point whose encoding
  // libsodium's crypto_core_ristretto255_from_hash writes, already decoded.
  static PublicPoint from_uniform_bytes(const uint8_t bytes[64]) noexcept;

  // The canonical encoding (bit 255 clear).
  void encode(uint8_t out[32]) const noexcept;

  PublicPoint negated() const noexcept;

  // a*B + b*p for the base point B: libdecaf's variable-time double-scalar
  // multiplication (a precomputed table of B's multiples, sliding windows),
  // or its base-point multiplication when b is zero.
  // The scalars must be below l (callers check or reduce them); one that is
  // not is an internal fault.
  static PublicPoint base_double_mul(const uint8_t a[32], const PublicPoint& p, const uint8_t b[32]);

  // a*p + b*q, with the same condition on the scalars: interleaved
  // width-5 signed windows over libdecaf's point addition and doubling
  // (odd multiples of p and q, one shared chain of doublings).
  static PublicPoint double_mul(const PublicPoint& p, const uint8_t a[32], const PublicPoint& q, const uint8_t b[32]);

 private:
  PublicPoint() = default;
  // libdecaf's point (four field elements of 64 bytes each, extended
  // coordinates), copied in and out of its own type in vartime.cpp.
  alignas(32) unsigned char repr_[256];
};

}  // namespace valtorimesca::classical::sr25519::vartime
