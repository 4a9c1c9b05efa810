// Small helpers shared by the Ed25519 tests.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/ed25519/edwards.hpp"
#include "vectors.hpp"

namespace ed_test {

using Bytes = std::vector<uint8_t>;
using valtorimesca::classical::ed25519::edwards::Encoding;
using valtorimesca::classical::ed25519::edwards::Point;
using valtorimesca::classical::ed25519::edwards::Scalar;

inline std::span<const uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}
std::span<const uint8_t> bytes_of(std::string&&) = delete;  // would dangle
// A string literal's bytes, without its terminating zero.
template <size_t N>
std::span<const uint8_t> bytes_of(const char (&s)[N]) {
  return {reinterpret_cast<const uint8_t*>(s), N - 1};
}

template <size_t N>
std::array<uint8_t, N> to_array(const Bytes& v) {
  std::array<uint8_t, N> a{};
  if (v.size() != N) throw std::runtime_error("unexpected length in test data");
  std::copy(v.begin(), v.end(), a.begin());
  return a;
}

inline Encoding enc_hex(const std::string& h) { return to_array<32>(vt_test::from_hex(h)); }

// The group order l, little-endian.
inline Scalar group_order() { return enc_hex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"); }

// a + b as 256-bit little-endian integers (no reduction).
inline Scalar add_le(const Scalar& a, const Scalar& b) {
  Scalar r{};
  unsigned carry = 0;
  for (size_t i = 0; i < 32; ++i) {
    const unsigned s = a[i] + b[i] + carry;
    r[i] = static_cast<uint8_t>(s);
    carry = s >> 8;
  }
  return r;
}

inline Scalar random_scalar(uint64_t seed) {
  auto wide = vt_test::pseudo_random_bytes(seed, 64);
  Scalar s;
  crypto_core_ed25519_scalar_reduce(s.data(), wide.data());
  return s;
}

// The eight canonical torsion encodings followed by the six non-canonical
// small-order encodings, in the order of the small-order vector file.
std::vector<Encoding> torsion_points_from_vectors();

struct KeyPair {
  std::array<uint8_t, 64> sk;
  std::array<uint8_t, 32> pk;
};

inline KeyPair derive_key(const Bytes& seed) {
  KeyPair kp{};
  if (!valtorimesca::classical::ed25519::Ed25519::derive(to_array<32>(seed), kp.sk, kp.pk).ok())
    throw std::runtime_error("derive failed");
  return kp;
}

// The RFC 8032 secret scalar of a seed, clamped and reduced modulo l.
inline Scalar secret_scalar(const Bytes& seed) {
  uint8_t h[64];
  crypto_hash_sha512(h, seed.data(), 32);
  uint8_t wide[64] = {};
  std::copy(h, h + 32, wide);
  wide[0] &= 0xf8;
  wide[31] = static_cast<uint8_t>((wide[31] & 0x3f) | 0x40);
  Scalar a;
  crypto_core_ed25519_scalar_reduce(a.data(), wide);
  return a;
}

// A signature made by hand: R = r_enc, S = r + k a with k hashed over r_enc,
// a_enc and msg. R and A may carry torsion components added on purpose.
inline std::array<uint8_t, 64> hand_signature(const Scalar& a, const Scalar& r, const Encoding& r_enc,
                                              const Encoding& a_enc, std::span<const uint8_t> msg) {
  crypto_hash_sha512_state st;
  crypto_hash_sha512_init(&st);
  crypto_hash_sha512_update(&st, r_enc.data(), 32);
  crypto_hash_sha512_update(&st, a_enc.data(), 32);
  crypto_hash_sha512_update(&st, msg.data(), msg.size());
  uint8_t h[64];
  crypto_hash_sha512_final(&st, h);
  Scalar k, ka, s;
  crypto_core_ed25519_scalar_reduce(k.data(), h);
  crypto_core_ed25519_scalar_mul(ka.data(), k.data(), a.data());
  crypto_core_ed25519_scalar_add(s.data(), r.data(), ka.data());
  std::array<uint8_t, 64> sig;
  std::copy(r_enc.begin(), r_enc.end(), sig.begin());
  std::copy(s.begin(), s.end(), sig.begin() + 32);
  return sig;
}

}  // namespace ed_test
