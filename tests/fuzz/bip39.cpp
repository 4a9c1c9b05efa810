// BIP-39 phrase parsing and the master seed of a phrase.
//
// Input: the phrase text. A parsed phrase is checked against its own
// words: the count, the checksum recomputed with SHA-256, and the same
// verdict from the master-seed entry points.
#include "bip39/bip39.hpp"

#include <array>
#include <string_view>

#include "bip39/testing.hpp"
#include "fuzz_input.hpp"
#include "sha2/sha2.hpp"
#include "valtorimesca_abi/seed.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  bip39::Mnemonic m;
  const auto err = bip39::Mnemonic::parse_in_normalized(text, m);
  const size_t words = bip39::testing::count_words(text);
  if (err) {
    fuzz::require(m.word_count() == 0, "failed parse left words behind");
    if (err->kind == bip39::ParseError::Kind::BadWordCount)
      fuzz::require(!bip39::is_valid_word_count(words) && err->value == words, "word count misreported");
  } else {
    fuzz::note_accepted();
    fuzz::require(bip39::is_valid_word_count(words) && m.word_count() == words, "parsed a bad word count");
    std::array<uint8_t, bip39::kEntropyArrayLen> ent{};
    const size_t n = m.to_entropy_array(ent);
    fuzz::require(n == words / 3 * 4, "entropy length");
    // Rebuild the word indices from entropy || first bits of SHA-256.
    const auto h = sha2::sha256(std::span<const uint8_t>(ent.data(), n));
    std::array<uint8_t, 33> bits{};
    std::copy(ent.begin(), ent.begin() + n, bits.begin());
    bits[n] = h[0];
    for (size_t i = 0; i < words; ++i) {
      uint32_t v = 0;
      for (size_t b = 0; b < 11; ++b) {
        const size_t at = i * 11 + b;
        v = (v << 1) | ((bits[at / 8] >> (7 - at % 8)) & 1u);
      }
      fuzz::require(m.word_index(i) == v, "word does not match entropy and checksum");
      fuzz::require(bip39::testing::find_english_word(m.word(i)) == v, "word lookup disagrees");
    }
  }
  // The seed entry point runs PBKDF2: only ask it now and then about phrases
  // that fail, always about those that parse.
  if (!err || (size % 16) == 0) {
    valtorimesca_abi::Seed32 seed{};
    const auto st = valtorimesca_abi::seed::master_seed_from_mnemonic(text, std::nullopt, seed);
    fuzz::require(static_cast<bool>(st) == !err, "seed entry point and parser disagree");
  }
  return 0;
}
