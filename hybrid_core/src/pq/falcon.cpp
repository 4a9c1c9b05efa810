#include "valtorimesca/pq/falcon.hpp"

#include <memory>

#include "fault/fault.hpp"
#include "fndsa/fndsa.hpp"
#include "valtorimesca/seeded_rng.hpp"

namespace valtorimesca::pq::falcon {

static_assert(kSecretKeyLen == fndsa::kSigningKeyLen);
static_assert(kPublicKeyLen == fndsa::kVerifyingKeyLen);
static_assert(kSignatureLen == fndsa::kSignatureLen);

zeroize::SecretArray<32> nonce_seed(std::span<const uint8_t> sk, std::span<const uint8_t> nonce,
                                    std::span<const uint8_t> msg) {
  const auto label =
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kNonceSeedLabel), sizeof kNonceSeedLabel);
  return valtorimesca::nonce_seed(label, sk, nonce, msg);
}

CoreStatus sign_with_seed(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<const uint8_t, 32> seed,
                          std::span<uint8_t> out) noexcept {
  if (out.size() != kSignatureLen) return fail(CoreError::bad_length(kSignatureLen, out.size()));
  auto key = std::make_unique<fndsa::SigningKey>();
  if (!key->decode(sk)) return fail(CoreError::component_failure());
  SeededRng rng(seed);
  if (key->sign(msg, {}, rng, out.data()) != fndsa::SignStatus::Ok) {
    return fail(CoreError::component_failure());
  }
  return {};
}

CoreStatus Falcon512::derive(std::span<const uint8_t> seed, std::span<uint8_t> sk_out,
                             std::span<uint8_t> pk_out) noexcept {
  if (seed.size() != kSeedLen) return fail(CoreError::bad_length(kSeedLen, seed.size()));
  if (sk_out.size() != kSecretKeyLen) return fail(CoreError::bad_length(kSecretKeyLen, sk_out.size()));
  if (pk_out.size() != kPublicKeyLen) return fail(CoreError::bad_length(kPublicKeyLen, pk_out.size()));
  zeroize::SecretArray<32> seed_copy(seed.data());
  SeededRng rng(seed_copy.span());
  fndsa::keygen(rng, sk_out.data(), pk_out.data());
  return {};
}

CoreStatus Falcon512::sign_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> msg,
                                         std::span<const uint8_t> nonce, std::span<uint8_t> out) {
  auto seed = nonce_seed(sk, nonce, msg);
  return sign_with_seed(sk, msg, seed.span(), out);
}

subtle::Choice Falcon512::verify(std::span<const uint8_t> pk, std::span<const uint8_t> msg,
                                 std::span<const uint8_t> sig) noexcept {
  fndsa::VerifyingKey key;
  if (!key.decode(pk)) return subtle::Choice::from_bit(false);
  return subtle::Choice::from_bit(key.verify(msg, {}, sig));
}

}  // namespace valtorimesca::pq::falcon
