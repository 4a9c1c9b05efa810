#include "ristretto.hpp"

#include <cstring>

#include "subtle/ct_marks.hpp"

namespace valtorimesca::classical::sr25519::detail {

namespace {
// The group order l = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr uint8_t kOrder[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
}  // namespace

subtle::Choice scalar_is_canonical(const uint8_t s[32]) noexcept {
  // The borrow out of s - l is 1 exactly when s < l.
  uint32_t borrow = 0;
  for (int i = 0; i < 32; ++i) {
    const uint32_t d = static_cast<uint32_t>(s[i]) - kOrder[i] - borrow;
    borrow = (d >> 8) & 1;
  }
  return subtle::Choice::from_bit(static_cast<uint8_t>(borrow));
}

merlin::Transcript signing_transcript(std::span<const uint8_t> label, std::span<const uint8_t> msg) {
  merlin::Transcript t("SigningContext");
  t.append_message("", label);
  t.append_message("sign-bytes", msg);
  return t;
}

void challenge_scalar(merlin::Transcript& t, std::string_view label, uint8_t out[32]) {
  zeroize::SecretArray<64> wide;
  t.challenge_bytes(label, wide.span());
  reduce_wide(out, wide.data());
}

void witness_scalar(const merlin::Transcript& t, std::string_view label, const uint8_t nonce[32], SeededRng& rng,
                    uint8_t out[32]) {
  auto gen = t.build_rng().rekey_with_witness_bytes(label, std::span<const uint8_t>(nonce, 32)).finalize(rng);
  zeroize::SecretArray<64> wide;
  gen.fill_bytes(wide.data(), wide.size());
  reduce_wide(out, wide.data());
}

CoreStatus decode_secret_key(std::span<const uint8_t> sk, Keypair& kp) noexcept {
  if (sk.size() != 64) return fail(CoreError::bad_length(64, sk.size()));
  std::memcpy(kp.key.data(), sk.data(), 32);
  std::memcpy(kp.nonce.data(), sk.data() + 32, 32);
  // Only the verdict leaves constant time: a malformed key is refused.
  if (!subtle::public_value(scalar_is_canonical(kp.key.data()).declassify()))
    return fail(CoreError::component_failure());
  base_mul(kp.pk.data(), kp.key.data());
  subtle::mark_public(kp.pk.data(), kp.pk.size());  // the public key
  return {};
}

}  // namespace valtorimesca::classical::sr25519::detail
