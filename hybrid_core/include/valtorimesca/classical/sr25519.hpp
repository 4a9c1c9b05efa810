// sr25519: schnorrkel 0.11 Schnorr signatures and the DLEQ VRF over
// Ristretto255, with merlin transcripts and the suite label as the signing
// context.
//
// Byte forms: secret key = canonical scalar (32, little-endian) || signing
// nonce (32); public key = compressed Ristretto255 point; signature = R || s
// with bit 7 of byte 63 set; VRF pre-output = compressed key*H; VRF proof =
// c || s. Every signature and proof draws its witness bytes from a SeededRng,
// seeded from fresh OS randomness (hedged) or from a nonce seed
// (deterministic).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "osrng/osrng.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/error.hpp"
#include "valtorimesca/seeded_rng.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::classical::sr25519 {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;

inline constexpr size_t kSeedLen = 32;
inline constexpr size_t kSecretKeyLen = 64;
inline constexpr size_t kPublicKeyLen = 32;
inline constexpr size_t kSignatureLen = 64;
inline constexpr size_t kPreOutputLen = 32;
inline constexpr size_t kVrfProofLen = 64;

// Nonce-seed labels (zero byte included when hashed).
inline constexpr char kNonceSeedLabel[] = "valtorimesca/nonce-seed/sr25519/v1";
inline constexpr char kVrfNonceSeedLabel[] = "valtorimesca/nonce-seed/sr25519-vrf/v1";

template <size_t N>
constexpr Bytes label_with_zero(const char (&s)[N]) noexcept {
  return Bytes(reinterpret_cast<const uint8_t*>(s), N);
}

using OsRng = component::OsRng;

// First half of SHA-512(label || BE64(64) || sk || BE64(|nonce|) || nonce ||
// BE64(|msg|) || msg). `label` is hashed as given (with its zero byte).
zeroize::SecretArray<32> nonce_seed_in(Bytes label, std::span<const uint8_t, 64> secret_key, Bytes nonce,
                                       Bytes message) noexcept;

// Signature with a caller-supplied witness generator (one 32-byte draw).
CoreStatus sign_with_rng(Bytes secret_key, Bytes message, Bytes label, SeededRng& rng, MutBytes out);

struct Sr25519 {
  static constexpr size_t kSeedLen = sr25519::kSeedLen;
  static constexpr size_t kSecretKeyLen = sr25519::kSecretKeyLen;
  static constexpr size_t kPublicKeyLen = sr25519::kPublicKeyLen;
  static constexpr size_t kSignatureLen = sr25519::kSignatureLen;
  static constexpr size_t kPreOutputLen = sr25519::kPreOutputLen;
  static constexpr size_t kVrfPreOutputLen = kPreOutputLen;
  static constexpr size_t kVrfProofLen = sr25519::kVrfProofLen;

  // Mini secret key expansion in Ed25519 mode.
  static CoreStatus derive(std::span<const uint8_t, 32> seed, MutBytes sk_out, MutBytes pk_out);

  // Hedged: the witness generator is seeded with 32 bytes from `rng`.
  template <class Rng>
  static CoreStatus sign(Bytes secret_key, Bytes message, Bytes label, Rng& rng, MutBytes out) {
    zeroize::SecretArray<32> seed;
    rng.fill_bytes(seed.data(), seed.size());
    SeededRng gen(seed.span());
    return sign_with_rng(secret_key, message, label, gen, out);
  }

  static CoreStatus sign_deterministic(Bytes secret_key, Bytes message, Bytes nonce, Bytes label, MutBytes out);

  static subtle::Choice verify(Bytes public_key, Bytes message, Bytes label, Bytes signature);

  // VRF half. The hedged evaluation draws its 32 seed bytes before any check.
  template <class Rng>
  static CoreStatus vrf_evaluate(Bytes secret_key, Bytes label, Bytes input, Rng& rng, MutBytes pre_output,
                                 MutBytes proof);
  static CoreStatus vrf_evaluate_deterministic(Bytes secret_key, Bytes label, Bytes input, MutBytes pre_output,
                                               MutBytes proof);
  static subtle::Choice vrf_verify(Bytes public_key, Bytes label, Bytes input, Bytes pre_output, Bytes proof);
  // The 32 output bytes for (public key, label, input, pre-output) under
  // `context`. The proof is not checked: verify it first.
  static CoreResult<std::array<uint8_t, 32>> vrf_make_bytes(Bytes public_key, Bytes label, Bytes input,
                                                            Bytes pre_output, Bytes context);
  // The same for any output length (schnorrkel's make_bytes::<[u8; N]>).
  static CoreStatus vrf_make_bytes_into(Bytes public_key, Bytes label, Bytes input, Bytes pre_output, Bytes context,
                                        MutBytes out);
};

static_assert(component::ClassicalScheme<Sr25519>);

}  // namespace valtorimesca::classical::sr25519

#include "valtorimesca/classical/sr25519/vrf_impl.hpp"

namespace valtorimesca::classical::sr25519 {

template <class Rng>
CoreStatus Sr25519::vrf_evaluate(Bytes secret_key, Bytes label, Bytes input, Rng& rng, MutBytes pre_output,
                                 MutBytes proof) {
  zeroize::SecretArray<32> seed;
  rng.fill_bytes(seed.data(), seed.size());
  SeededRng gen(seed.span());
  return vrf_impl::evaluate_with_rng(secret_key, label, input, gen, pre_output, proof);
}

}  // namespace valtorimesca::classical::sr25519
