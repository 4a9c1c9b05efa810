#include "valtorimesca/mnemonic.hpp"

#include <cstring>

#include "bip39/bip39.hpp"
#include "keyed_hmac.hpp"

namespace valtorimesca::mnemonic {
namespace {

using detail::KeyedHmac;

// The first block of PBKDF2-HMAC-SHA512 (RFC 8018): U1 = HMAC(key, salt ||
// BE32(1)), U(i+1) = HMAC(key, U(i)), T = U1 ^ ... ^ U(rounds).
void pbkdf2_sha512_block(std::span<const uint8_t> key, std::span<const uint8_t> salt, uint32_t rounds,
                         std::span<uint8_t, 64> out) {
  static constexpr uint8_t kFirstBlock[4] = {0, 0, 0, 1};
  KeyedHmac mac(KeyedHmac::Hash::Sha512, key);
  zeroize::SecretArray<64> u;
  mac.update(salt);
  mac.update(kFirstBlock);
  mac.finish(u.span());
  std::memcpy(out.data(), u.data(), 64);
  for (uint32_t r = 1; r < rounds; ++r) {
    mac.restart();
    mac.update(u.span());
    mac.finish(u.span());
    for (size_t i = 0; i < 64; ++i) out[i] ^= u[i];
  }
}

}  // namespace

CoreResult<Seed> master_seed_from_mnemonic(std::string_view phrase, std::optional<std::string_view> password) {
  bip39::Mnemonic parsed;
  if (bip39::Mnemonic::parse_in_normalized(phrase, parsed)) return fail(CoreError::invalid_mnemonic());

  zeroize::SecretArray<bip39::kEntropyArrayLen> entropy;
  const size_t entropy_len = parsed.to_entropy_array(entropy.span());

  const std::string_view pw = password.value_or(std::string_view());
  constexpr size_t kPrefixLen = sizeof(kSaltPrefix) - 1;
  zeroize::SecretBytes salt(kPrefixLen + pw.size());
  std::memcpy(salt.data(), kSaltPrefix, kPrefixLen);
  if (!pw.empty()) std::memcpy(salt.data() + kPrefixLen, pw.data(), pw.size());

  zeroize::SecretArray<64> block;
  pbkdf2_sha512_block(std::span<const uint8_t>(entropy.data(), entropy_len), salt.span(), kPbkdf2Rounds,
                      block.span());
  return Seed(block.data());
}

}  // namespace valtorimesca::mnemonic
