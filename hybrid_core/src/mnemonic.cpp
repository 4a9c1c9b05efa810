#include "valtorimesca/mnemonic.hpp"

#include <cstring>

#include "bip39/bip39.hpp"
#include "sha2/hmac.hpp"

namespace valtorimesca::mnemonic {

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

  // PBKDF2-HMAC-SHA512 over the entropy; the seed is its first 32 bytes.
  Seed seed;
  sha2::pbkdf2(sha2::Hash::Sha512, std::span<const uint8_t>(entropy.data(), entropy_len), salt.span(), kPbkdf2Rounds,
               seed.span());
  return seed;
}

}  // namespace valtorimesca::mnemonic
