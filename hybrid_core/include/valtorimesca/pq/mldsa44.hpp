// ML-DSA-44 (FIPS 204) as the post-quantum component of ED_ML_44 and
// SR_ML_44: pure ML-DSA with the empty context string.
//
// Secret key 2560 bytes, public key 1312 bytes, signature 2420 bytes, both
// keys in the FIPS 204 encodings; the seed is the 32-byte key-generation
// seed xi. Every 1312-byte public key decodes. A 2560-byte secret key whose
// s1 or s2 holds a coefficient outside [-2, 2] does not decode, and signing
// refuses it; its other fields decode from any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mldsa/mldsa.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/error.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::pq::mldsa44 {

// Signs msg with the given 32-byte randomness. Fails with BadLength when
// out is not 2420 bytes (checked first) or sk is not 2560 bytes, and with
// ComponentFailure (out zeroed) when sk does not decode or signing finds no
// acceptable candidate.
CoreStatus sign_with_rnd(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<const uint8_t, 32> rnd,
                         std::span<uint8_t> out);

struct MlDsa44 {
  static constexpr size_t kSeedLen = mldsa::kSeedLen;
  static constexpr size_t kSecretKeyLen = mldsa::kSecretKeyLen;
  static constexpr size_t kPublicKeyLen = mldsa::kPublicKeyLen;
  static constexpr size_t kSignatureLen = mldsa::kSignatureLen;

  // ML-DSA.KeyGen_internal(seed). Lengths are checked in the order seed,
  // secret-key output, public-key output.
  static CoreStatus derive(std::span<const uint8_t> seed, std::span<uint8_t> sk_out, std::span<uint8_t> pk_out);

  // Hedged signing: 32 bytes from rng as the signing randomness.
  template <component::RandomSource Rng>
  static CoreStatus sign(std::span<const uint8_t> sk, std::span<const uint8_t> msg, Rng& rng, std::span<uint8_t> out) {
    zeroize::SecretArray<32> rnd;
    rng.fill_bytes(rnd.data(), rnd.size());
    return sign_with_rnd(sk, msg, rnd.span(), out);
  }

  // The deterministic variant of FIPS 204 (all-zero randomness); the nonce
  // is not used, so the signature depends only on the key and the message.
  static CoreStatus sign_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                                       std::span<const uint8_t> nonce, std::span<uint8_t> out);

  // False for a public key other than 1312 bytes, a signature other than
  // 2420 bytes, or a signature that does not verify.
  static subtle::Choice verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig);
};

static_assert(component::PqScheme<MlDsa44>);

}  // namespace valtorimesca::pq::mldsa44
