// ML-DSA-44 of FIPS 204.
//
// Keys are generated from the 32-byte seed xi (ML-DSA.KeyGen_internal);
// signing takes the 32-byte randomness rnd from the caller (all zero for the
// deterministic variant). The pure interface signs M' = 0x00 || |ctx| || ctx
// || M; the *_internal functions sign and verify a caller-formatted M'.
//
// Every 1312-byte string decodes as a public key, and t0 of a secret key
// decodes from any bytes. The 3-bit fields of s1 and s2 can hold 5 to 7,
// outside [-eta, eta]: a secret key with such a field does not decode, and
// signing refuses it (MalformedKey) after testing every field, revealing
// only that verdict.
//
// Signing runs in constant time in the secret key and rnd within each
// rejection-sampling attempt. An attempt ends at the first bound check that
// fails, so what is observable is the number of attempts and, for each
// rejected one, which check ended it; a rejected candidate is wiped and never
// written out. All secret intermediates are wiped before return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace mldsa {

inline constexpr size_t kSeedLen = 32;
inline constexpr size_t kRndLen = 32;
inline constexpr size_t kPublicKeyLen = 1312;
inline constexpr size_t kSecretKeyLen = 2560;
inline constexpr size_t kSignatureLen = 2420;
inline constexpr size_t kMaxContextLen = 255;

using Seed = std::span<const uint8_t, kSeedLen>;
using Rnd = std::span<const uint8_t, kRndLen>;
using PublicKey = std::span<const uint8_t, kPublicKeyLen>;
using SecretKey = std::span<const uint8_t, kSecretKeyLen>;
using Signature = std::span<const uint8_t, kSignatureLen>;

enum class SignStatus : uint8_t {
  Ok,
  // The context string is longer than 255 bytes; nothing is written.
  ContextTooLong,
  // The rejection loop used up the 16-bit counter of ExpandMask without an
  // acceptable candidate. A well-formed key never gets here (the chance is
  // far below 2^-1000); a malformed one can. The output is zeroed.
  AttemptsExhausted,
  // A coefficient of s1 or s2 lies outside [-eta, eta], so the secret key
  // does not decode; the output is zeroed.
  MalformedKey,
};

// ML-DSA.KeyGen_internal(xi).
void keygen(Seed xi, std::span<uint8_t, kPublicKeyLen> pk, std::span<uint8_t, kSecretKeyLen> sk) noexcept;

// ML-DSA.Sign(sk, msg, ctx) with the given rnd.
SignStatus sign(SecretKey sk, std::span<const uint8_t> msg, std::span<const uint8_t> ctx, Rnd rnd,
                std::span<uint8_t, kSignatureLen> sig) noexcept;

// ML-DSA.Sign_internal(sk, M', rnd).
SignStatus sign_internal(SecretKey sk, std::span<const uint8_t> m_prime, Rnd rnd,
                         std::span<uint8_t, kSignatureLen> sig) noexcept;

// ML-DSA.Verify(pk, msg, sig, ctx); false for a context over 255 bytes.
bool verify(PublicKey pk, std::span<const uint8_t> msg, std::span<const uint8_t> ctx, Signature sig) noexcept;

// ML-DSA.Verify_internal(pk, M', sig).
bool verify_internal(PublicKey pk, std::span<const uint8_t> m_prime, Signature sig) noexcept;

}  // namespace mldsa
