// Shared pieces of the sr25519 component: Ristretto255 and scalar arithmetic
// on libsodium's constant-time routines, the schnorrkel transcript steps and
// the decoded secret key.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "merlin/merlin.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/error.hpp"
#include "valtorimesca/seeded_rng.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::classical::sr25519::detail {

using Point = std::array<uint8_t, 32>;  // compressed Ristretto255
using Scalar32 = zeroize::SecretArray<32>;

// s < l, computed without branches on s.
subtle::Choice scalar_is_canonical(const uint8_t s[32]) noexcept;

// 64 bytes reduced modulo l.
inline void reduce_wide(uint8_t out[32], const uint8_t wide[64]) noexcept {
  crypto_core_ristretto255_scalar_reduce(out, wide);
}

// n*B and n*P. n must be below 2^255 (reduced scalars are). An identity
// result is written as its encoding (32 zero bytes); P must be a valid
// encoding, which every caller has checked.
inline void base_mul(uint8_t out[32], const uint8_t n[32]) noexcept {
  // The status only flags an identity result, which is written as such.
  const int rc = crypto_scalarmult_ristretto255_base(out, n);
  (void)rc;
}
inline void point_mul(uint8_t out[32], const uint8_t n[32], const uint8_t p[32]) noexcept {
  const int rc = crypto_scalarmult_ristretto255(out, n, p);
  (void)rc;
}
// A canonical encoding of a point. libsodium 1.0.18 ignores bit 255, which
// would let two byte strings name one point; that bit must be clear.
inline bool is_point(const uint8_t p[32]) noexcept {
  return (p[31] & 0x80) == 0 && crypto_core_ristretto255_is_valid_point(p) == 1;
}

// signing_context(label).bytes(msg): "SigningContext" with the label under
// the empty label and the message under "sign-bytes".
merlin::Transcript signing_transcript(std::span<const uint8_t> label, std::span<const uint8_t> msg);

inline void commit_point(merlin::Transcript& t, std::string_view label, const uint8_t p[32]) {
  t.append_message(label, std::span<const uint8_t>(p, 32));
}

// 64 challenge bytes reduced modulo l.
void challenge_scalar(merlin::Transcript& t, std::string_view label, uint8_t out[32]);

// The witness scalar of `t`'s current state: rekeyed with the nonce under
// `label`, finalised with one 32-byte draw from `rng`, 64 bytes reduced.
void witness_scalar(const merlin::Transcript& t, std::string_view label, const uint8_t nonce[32], SeededRng& rng,
                    uint8_t out[32]);

// A secret key split into its canonical scalar and nonce, with the public
// key recomputed from the scalar.
struct Keypair {
  Scalar32 key;
  Scalar32 nonce;
  Point pk{};
};

// BadLength (64, given) or ComponentFailure for a non-canonical scalar.
CoreStatus decode_secret_key(std::span<const uint8_t> sk, Keypair& kp) noexcept;

}  // namespace valtorimesca::classical::sr25519::detail
