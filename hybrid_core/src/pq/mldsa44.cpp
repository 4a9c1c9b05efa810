#include "valtorimesca/pq/mldsa44.hpp"

#include <array>

namespace valtorimesca::pq::mldsa44 {

CoreStatus sign_with_rnd(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<const uint8_t, 32> rnd,
                         std::span<uint8_t> out) {
  if (out.size() != MlDsa44::kSignatureLen) return fail(CoreError::bad_length(MlDsa44::kSignatureLen, out.size()));
  if (sk.size() != MlDsa44::kSecretKeyLen) return fail(CoreError::bad_length(MlDsa44::kSecretKeyLen, sk.size()));
  // The signer reads the key in place and wipes everything it derives from it.
  const mldsa::SignStatus st = mldsa::sign(mldsa::SecretKey(sk.data(), mldsa::kSecretKeyLen), msg, {}, rnd,
                                           std::span<uint8_t, mldsa::kSignatureLen>(out.data(), mldsa::kSignatureLen));
  if (st != mldsa::SignStatus::Ok) return fail(CoreError::component_failure());
  return {};
}

CoreStatus MlDsa44::derive(std::span<const uint8_t> seed, std::span<uint8_t> sk_out, std::span<uint8_t> pk_out) {
  if (seed.size() != kSeedLen) return fail(CoreError::bad_length(kSeedLen, seed.size()));
  if (sk_out.size() != kSecretKeyLen) return fail(CoreError::bad_length(kSecretKeyLen, sk_out.size()));
  if (pk_out.size() != kPublicKeyLen) return fail(CoreError::bad_length(kPublicKeyLen, pk_out.size()));
  mldsa::keygen(mldsa::Seed(seed.data(), kSeedLen), std::span<uint8_t, kPublicKeyLen>(pk_out.data(), kPublicKeyLen),
                std::span<uint8_t, kSecretKeyLen>(sk_out.data(), kSecretKeyLen));
  return {};
}

CoreStatus MlDsa44::sign_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                                       std::span<const uint8_t> /*nonce*/, std::span<uint8_t> out) {
  static constexpr std::array<uint8_t, 32> kZero{};
  return sign_with_rnd(sk, msg, kZero, out);
}

subtle::Choice MlDsa44::verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg,
                               std::span<const uint8_t> sig) {
  if (pk.size() != kPublicKeyLen || sig.size() != kSignatureLen) return subtle::Choice();
  const bool ok =
      mldsa::verify(mldsa::PublicKey(pk.data(), kPublicKeyLen), msg, {}, mldsa::Signature(sig.data(), kSignatureLen));
  return subtle::Choice::from_bit(static_cast<uint8_t>(ok));
}

}  // namespace valtorimesca::pq::mldsa44
