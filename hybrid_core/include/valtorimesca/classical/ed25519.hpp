// Ed25519 (RFC 8032, pure, no context) as the classical component of the
// ED_* suites, verifying under the ZIP 215 rules: S must be canonical, A and
// R may use any decodable encoding, and the cofactored equation
// [8][S]B = [8]R + [8][k]A decides.
//
// Secret key: seed (32) || public key (32); only the seed is read. Public key:
// 32 bytes. Signature: R || S, 64 bytes. Signing is deterministic in every
// mode: the generator, the nonce and the suite label are ignored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "subtle/subtle.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/error.hpp"

namespace valtorimesca::classical::ed25519 {

inline constexpr size_t kSeedLen = 32;
inline constexpr size_t kSecretKeyLen = 64;
inline constexpr size_t kPublicKeyLen = 32;
inline constexpr size_t kSignatureLen = 64;
inline constexpr size_t kVrfPreOutputLen = 32;
inline constexpr size_t kVrfProofLen = 48;

// Signs msg with the key rebuilt from the seed in sk[0..32]; the public half
// of sk is neither read nor checked.
CoreStatus raw_sign(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<uint8_t> out);

// ZIP 215 verification of sig over msg under pk, as a plain (public) verdict.
// Malformed input answers false; only a broken internal invariant throws
// (fault::InternalFault).
bool verify_zip215(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig);

namespace detail {
// The cofactored check alone, without the shortcut through libsodium's
// strict verifier that verify_zip215 takes for ordinary signatures.
bool verify_cofactored(std::span<const uint8_t, 32> pk, std::span<const uint8_t> msg, std::span<const uint8_t, 64> sig);
}  // namespace detail

struct Ed25519 {
  static constexpr size_t kSecretKeyLen = ed25519::kSecretKeyLen;
  static constexpr size_t kPublicKeyLen = ed25519::kPublicKeyLen;
  static constexpr size_t kSignatureLen = ed25519::kSignatureLen;
  static constexpr size_t kVrfPreOutputLen = ed25519::kVrfPreOutputLen;
  static constexpr size_t kVrfProofLen = ed25519::kVrfProofLen;

  // sk_out = seed || A, pk_out = A.
  static CoreStatus derive(std::span<const uint8_t, 32> seed, std::span<uint8_t> sk_out, std::span<uint8_t> pk_out);

  template <component::RandomSource R>
  static CoreStatus sign(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<const uint8_t> /*label*/,
                         R& /*rng*/, std::span<uint8_t> out) {
    return raw_sign(sk, msg, out);
  }

  static CoreStatus sign_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                                       std::span<const uint8_t> /*nonce*/, std::span<const uint8_t> /*label*/,
                                       std::span<uint8_t> out) {
    return raw_sign(sk, msg, out);
  }

  static subtle::Choice verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg,
                               std::span<const uint8_t> /*label*/, std::span<const uint8_t> sig) {
    return subtle::Choice::from_bit(verify_zip215(pk, msg, sig));
  }

  // ECVRF-EDWARDS25519-SHA512-TAI over the framed input
  // BE64(|label|) || label || BE64(|input|) || input. Deterministic: the
  // hedged entry does not read its generator.
  static CoreStatus vrf_evaluate_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> label,
                                               std::span<const uint8_t> input, std::span<uint8_t> pre_out,
                                               std::span<uint8_t> proof_out);

  template <component::RandomSource R>
  static CoreStatus vrf_evaluate(std::span<const uint8_t> sk, std::span<const uint8_t> label,
                                 std::span<const uint8_t> input, R& /*rng*/, std::span<uint8_t> pre_out,
                                 std::span<uint8_t> proof_out) {
    return vrf_evaluate_deterministic(sk, label, input, pre_out, proof_out);
  }

  static subtle::Choice vrf_verify(std::span<const uint8_t> pk, std::span<const uint8_t> label,
                                   std::span<const uint8_t> input, std::span<const uint8_t> pre_output,
                                   std::span<const uint8_t> proof);

  // 32 output bytes: HKDF-SHA512 over the VRF hash of the pre-output, salted
  // with the library's output label, expanded under the framed label, input
  // and context. The key must decode and not be of small order; the proof is
  // not looked at, so callers verify it first.
  static CoreResult<std::array<uint8_t, 32>> vrf_make_bytes(std::span<const uint8_t> pk, std::span<const uint8_t> label,
                                                            std::span<const uint8_t> input,
                                                            std::span<const uint8_t> pre_output,
                                                            std::span<const uint8_t> context);
};

static_assert(component::ClassicalScheme<Ed25519>);
static_assert(component::ClassicalVrf<Ed25519>);

}  // namespace valtorimesca::classical::ed25519
