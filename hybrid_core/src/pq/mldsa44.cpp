#include "valtorimesca/pq/mldsa44.hpp"

#include <array>

namespace valtorimesca::pq::mldsa44 {

CoreStatus sign_with_rnd(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                         std::span<const uint8_t, 32> rnd, std::span<uint8_t> out) {
  if (out.size() != MlDsa44::kSignatureBytes)
    return fail(CoreError::bad_length(MlDsa44::kSignatureBytes, out.size()));
  if (sk.size() != MlDsa44::kSecretKeyBytes)
    return fail(CoreError::bad_length(MlDsa44::kSecretKeyBytes, sk.size()));
  // The signer reads the key in place and wipes everything it derives from it.
  const mldsa::SignStatus st =
      mldsa::sign(mldsa::SecretKey(sk.data(), mldsa::kSecretKeyBytes), msg, {}, rnd,
                  std::span<uint8_t, mldsa::kSignatureBytes>(out.data(), mldsa::kSignatureBytes));
  if (st != mldsa::SignStatus::Ok) return fail(CoreError::component_failure());
  return {};
}

CoreStatus MlDsa44::derive(std::span<const uint8_t> seed, std::span<uint8_t> sk_out,
                           std::span<uint8_t> pk_out) {
  if (seed.size() != kSeedBytes) return fail(CoreError::bad_length(kSeedBytes, seed.size()));
  if (sk_out.size() != kSecretKeyBytes) return fail(CoreError::bad_length(kSecretKeyBytes, sk_out.size()));
  if (pk_out.size() != kPublicKeyBytes) return fail(CoreError::bad_length(kPublicKeyBytes, pk_out.size()));
  mldsa::keygen(mldsa::Seed(seed.data(), kSeedBytes),
                std::span<uint8_t, kPublicKeyBytes>(pk_out.data(), kPublicKeyBytes),
                std::span<uint8_t, kSecretKeyBytes>(sk_out.data(), kSecretKeyBytes));
  return {};
}

CoreStatus MlDsa44::sign_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                                       std::span<const uint8_t> /*nonce*/, std::span<uint8_t> out) {
  static constexpr std::array<uint8_t, 32> kZero{};
  return sign_with_rnd(sk, msg, kZero, out);
}

subtle::Choice MlDsa44::verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg,
                               std::span<const uint8_t> sig) {
  if (pk.size() != kPublicKeyBytes || sig.size() != kSignatureBytes) return subtle::Choice();
  const bool ok = mldsa::verify(mldsa::PublicKey(pk.data(), kPublicKeyBytes), msg, {},
                                mldsa::Signature(sig.data(), kSignatureBytes));
  return subtle::Choice::from_bit(static_cast<uint8_t>(ok));
}

}  // namespace valtorimesca::pq::mldsa44
