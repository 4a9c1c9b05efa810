// sr25519 key expansion, Schnorr signing and verification (schnorrkel 0.11).
#include "valtorimesca/classical/sr25519.hpp"

#include <cstring>

#include "ristretto.hpp"
#include "sha2/sha2.hpp"
#include "valtorimesca/classical/sr25519/vartime.hpp"

namespace valtorimesca::classical::sr25519 {

using detail::Keypair;
using detail::Point;
using detail::Scalar32;

zeroize::SecretArray<32> nonce_seed_in(Bytes label, std::span<const uint8_t, 64> secret_key, Bytes nonce,
                                       Bytes message) noexcept {
  return valtorimesca::nonce_seed(label, secret_key, nonce, message);
}

CoreStatus Sr25519::derive(std::span<const uint8_t, 32> seed, MutBytes sk_out, MutBytes pk_out) {
  if (sk_out.size() != 64) return fail(CoreError::bad_length(64, sk_out.size()));
  if (pk_out.size() != 32) return fail(CoreError::bad_length(32, pk_out.size()));
  zeroize::SecretArray<32> mini(seed.data());
  zeroize::SecretArray<64> h;
  sha2::sha512(mini.span(), h.span());
  // Ed25519 clamping, then division by the cofactor (a right shift by 3),
  // which leaves a scalar below 2^252 and hence canonical.
  h[0] &= 248;
  h[31] &= 63;
  h[31] |= 64;
  Scalar32 key;
  for (int i = 0; i < 31; ++i) key[i] = static_cast<uint8_t>((h[i] >> 3) | (h[i + 1] << 5));
  key[31] = static_cast<uint8_t>(h[31] >> 3);
  Point pk{};
  detail::base_mul(pk.data(), key.data());
  std::memcpy(sk_out.data(), key.data(), 32);
  std::memcpy(sk_out.data() + 32, h.data() + 32, 32);
  std::memcpy(pk_out.data(), pk.data(), 32);
  return {};
}

CoreStatus sign_with_rng(Bytes secret_key, Bytes message, Bytes label, SeededRng& rng, MutBytes out) {
  if (secret_key.size() != 64) return fail(CoreError::bad_length(64, secret_key.size()));
  if (out.size() != 64) return fail(CoreError::bad_length(64, out.size()));
  Keypair kp;
  if (auto st = detail::decode_secret_key(secret_key, kp); !st) return st;

  merlin::Transcript t = detail::signing_transcript(label, message);
  t.append_message("proto-name", merlin::bytes_of("Schnorr-sig"));
  detail::commit_point(t, "sign:pk", kp.pk.data());

  Scalar32 r;
  detail::witness_scalar(t, "signing", kp.nonce.data(), rng, r.data());
  Point big_r{};
  detail::base_mul(big_r.data(), r.data());
  detail::commit_point(t, "sign:R", big_r.data());

  uint8_t k[32];
  detail::challenge_scalar(t, "sign:c", k);
  Scalar32 kx, s;
  crypto_core_ristretto255_scalar_mul(kx.data(), k, kp.key.data());
  crypto_core_ristretto255_scalar_add(s.data(), kx.data(), r.data());

  std::memcpy(out.data(), big_r.data(), 32);
  std::memcpy(out.data() + 32, s.data(), 32);
  out[63] |= 0x80;
  return {};
}

CoreStatus Sr25519::sign_deterministic(Bytes secret_key, Bytes message, Bytes nonce, Bytes label, MutBytes out) {
  if (secret_key.size() != 64) return fail(CoreError::bad_length(64, secret_key.size()));
  auto seed = nonce_seed_in(label_with_zero(kNonceSeedLabel), secret_key.first<64>(), nonce, message);
  SeededRng gen(seed.span());
  return sign_with_rng(secret_key, message, label, gen, out);
}

subtle::Choice Sr25519::verify(Bytes public_key, Bytes message, Bytes label, Bytes signature) {
  if (public_key.size() != 32 || signature.size() != 64) return subtle::Choice();
  const auto a = vartime::PublicPoint::decode(public_key.data());
  if (!a) return subtle::Choice();
  if ((signature[63] & 0x80) == 0) return subtle::Choice();
  uint8_t s[32];
  std::memcpy(s, signature.data() + 32, 32);
  s[31] &= 0x7f;
  if (!detail::scalar_is_canonical(s).declassify()) return subtle::Choice();

  merlin::Transcript t = detail::signing_transcript(label, message);
  t.append_message("proto-name", merlin::bytes_of("Schnorr-sig"));
  detail::commit_point(t, "sign:pk", public_key.data());
  detail::commit_point(t, "sign:R", signature.data());
  uint8_t k[32];
  detail::challenge_scalar(t, "sign:c", k);

  // R' = s*B - k*A (all public, so in variable time), compared with R as
  // received.
  Point r{};
  vartime::PublicPoint::base_double_mul(s, a->negated(), k).encode(r.data());
  return subtle::Choice::from_bit(subtle::ct_eq(r.data(), signature.data(), 32).unwrap_u8());
}

}  // namespace valtorimesca::classical::sr25519
