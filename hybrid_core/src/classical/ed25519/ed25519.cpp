#include "valtorimesca/classical/ed25519.hpp"

#include <sodium.h>

#include <algorithm>

#include "sha2/sha2.hpp"
#include "valtorimesca/classical/ed25519/edwards.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::classical::ed25519 {

namespace {

// libsodium is handed a valid pointer even for an empty message.
const uint8_t* data_or_dummy(std::span<const uint8_t> s) noexcept {
  static const uint8_t dummy = 0;
  return s.empty() ? &dummy : s.data();
}

// libsodium's 64-byte signing key and the public key of a 32-byte seed, made
// from a wiped copy of the seed.
void keypair_of_seed(const uint8_t* seed, zeroize::SecretArray<64>& key, std::array<uint8_t, 32>& pk) {
  edwards::ensure_library_ready();
  zeroize::SecretArray<32> seed_copy(seed);
  crypto_sign_ed25519_seed_keypair(pk.data(), key.data(), seed_copy.data());
}

}  // namespace

CoreStatus Ed25519::derive(std::span<const uint8_t, 32> seed, std::span<uint8_t> sk_out, std::span<uint8_t> pk_out) {
  if (sk_out.size() != kSecretKeyLen) return fail(CoreError::bad_length(kSecretKeyLen, sk_out.size()));
  if (pk_out.size() != kPublicKeyLen) return fail(CoreError::bad_length(kPublicKeyLen, pk_out.size()));
  zeroize::SecretArray<64> sk;
  std::array<uint8_t, 32> pk{};
  keypair_of_seed(seed.data(), sk, pk);
  std::copy(sk.array().begin(), sk.array().end(), sk_out.begin());
  std::copy(pk.begin(), pk.end(), pk_out.begin());
  return {};
}

CoreStatus raw_sign(std::span<const uint8_t> sk, std::span<const uint8_t> msg, std::span<uint8_t> out) {
  if (sk.size() != kSecretKeyLen) return fail(CoreError::bad_length(kSecretKeyLen, sk.size()));
  if (out.size() != kSignatureLen) return fail(CoreError::bad_length(kSignatureLen, out.size()));
  // The signing key is rebuilt from the seed alone, so the A hashed into the
  // signature is always the one the seed gives.
  zeroize::SecretArray<64> key;
  std::array<uint8_t, 32> pk{};
  keypair_of_seed(sk.data(), key, pk);
  crypto_sign_ed25519_detached(out.data(), nullptr, data_or_dummy(msg), msg.size(), key.data());
  return {};
}

namespace detail {

bool verify_cofactored(std::span<const uint8_t, 32> pk, std::span<const uint8_t> msg,
                       std::span<const uint8_t, 64> sig) {
  edwards::ensure_library_ready();
  const auto r_bytes = sig.first<32>();
  const auto s_bytes = sig.last<32>();
  if (!edwards::scalar_is_canonical(s_bytes)) return false;
  const auto a = edwards::decode_relaxed(pk);
  const auto r = edwards::decode_relaxed(r_bytes);
  if (!a || !r) return false;

  // k = SHA-512(R || A || M) over the encodings exactly as given.
  const std::array<uint8_t, 64> h = sha2::Sha512().update(r_bytes).update(pk).update(msg).finish();
  edwards::Scalar k, s;
  crypto_core_ed25519_scalar_reduce(k.data(), h.data());
  std::copy(s_bytes.begin(), s_bytes.end(), s.begin());

  // [8]([S]B - R - [k]A) = 0 exactly when [S]B - R - [k]A is a torsion point.
  const edwards::Point sb = edwards::mul_base(s);
  const edwards::Point ka = edwards::mul_public(*a, k);
  return edwards::is_small_order(edwards::sub(edwards::sub(sb, *r), ka));
}

}  // namespace detail

bool verify_zip215(std::span<const uint8_t> pk, std::span<const uint8_t> msg, std::span<const uint8_t> sig) {
  if (pk.size() != kPublicKeyLen || sig.size() != kSignatureLen) return false;
  edwards::ensure_library_ready();
  const std::span<const uint8_t, 64> sig64(sig.data(), 64);
  if (!edwards::scalar_is_canonical(sig64.last<32>())) return false;
  // libsodium's verifier is strict (canonical encodings, no small-order A or
  // R, cofactorless equation). Whatever it accepts satisfies the cofactored
  // equation with the same k, so only its refusals need the full check.
  if (crypto_sign_ed25519_verify_detached(sig.data(), data_or_dummy(msg), msg.size(), pk.data()) == 0) return true;
  return detail::verify_cofactored(std::span<const uint8_t, 32>(pk.data(), 32), msg, sig64);
}

}  // namespace valtorimesca::classical::ed25519
