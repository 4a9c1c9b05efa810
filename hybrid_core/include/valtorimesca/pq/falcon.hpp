// The FN-DSA-512 post-quantum component (fn-dsa 0.4.0 byte formats): keys
// derived from a 32-byte seed through a SeededRng, signing with the empty
// domain context and the raw-message hash identifier.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "subtle/subtle.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/error.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::pq::falcon {

inline constexpr size_t kSecretKeyLen = 1345;
inline constexpr size_t kPublicKeyLen = 897;
inline constexpr size_t kSignatureLen = 666;
inline constexpr size_t kSeedLen = 32;

// The label of the deterministic nonce seed, with its zero byte.
inline constexpr char kNonceSeedLabel[] = "valtorimesca/nonce-seed/fn-dsa-512/v1";
static_assert(sizeof kNonceSeedLabel == 38);

// First 32 bytes of SHA-512(label || BE64(|sk|) || sk || BE64(|nonce|) ||
// nonce || BE64(|msg|) || msg).
zeroize::SecretArray<32> nonce_seed(std::span<const uint8_t> sk, std::span<const uint8_t> nonce,
                                    std::span<const uint8_t> msg);

// Signs msg with a SeededRng seeded with `seed` as the signer's generator.
CoreStatus sign_with_seed(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<const uint8_t, 32> seed,
                          std::span<uint8_t> out) noexcept;

struct Falcon512 {
  static constexpr size_t kSecretKeyLen = falcon::kSecretKeyLen;
  static constexpr size_t kPublicKeyLen = falcon::kPublicKeyLen;
  static constexpr size_t kSignatureLen = falcon::kSignatureLen;
  static constexpr size_t kSeedLen = falcon::kSeedLen;

  // One seed always gives the same key pair.
  static CoreStatus derive(std::span<const uint8_t> seed, std::span<uint8_t> sk_out,
                           std::span<uint8_t> pk_out) noexcept;

  // Hedged: 32 bytes from rng (anything with fill_bytes(uint8_t*, size_t))
  // seed the signer's generator.
  template <class Rng>
  static CoreStatus sign(std::span<const uint8_t> sk, std::span<const uint8_t> msg, Rng& rng, std::span<uint8_t> out) {
    zeroize::SecretArray<32> seed;
    rng.fill_bytes(seed.data(), seed.size());
    return sign_with_seed(sk, msg, seed.span(), out);
  }

  // Deterministic: the generator is seeded with the nonce seed.
  static CoreStatus sign_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                                       std::span<const uint8_t> nonce, std::span<uint8_t> out);

  static subtle::Choice verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg,
                               std::span<const uint8_t> sig) noexcept;
};

static_assert(component::PqScheme<Falcon512>);

}  // namespace valtorimesca::pq::falcon
