#include "bip39/bip39.hpp"
#include "sha2/sha2.hpp"
#include "subtle/ct_marks.hpp"
#include "subtle/subtle.hpp"
#include "wordlist_internal.hpp"
#include "zeroize/zeroize.hpp"

namespace bip39 {
namespace {

// Writes the 11-bit word indices, most significant bit first, into `out`.
void pack_bits(const std::array<uint16_t, kMaxWords>& words, size_t count,
               std::span<uint8_t, kEntropyArrayLen> out) noexcept {
  zeroize::wipe(out.data(), out.size());
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = 0; j < 11; ++j) {
      size_t pos = 11 * i + j;
      uint8_t bit = static_cast<uint8_t>((words[i] >> (10 - j)) & 1);
      out[pos / 8] = static_cast<uint8_t>(out[pos / 8] | (bit << (7 - pos % 8)));
    }
  }
}

}  // namespace

Mnemonic::~Mnemonic() { clear(); }

void Mnemonic::clear() noexcept {
  zeroize::wipe(words_.data(), sizeof(words_));
  count_ = 0;
}

std::optional<ParseError> Mnemonic::parse_in_normalized(std::string_view text, Mnemonic& out) {
  out.clear();
  // The words are found without a branch or an index on the text. Their
  // number is revealed: a wrong count is reported with it, and a right one
  // fixes the entropy length, the only thing the phrase's form shows.
  zeroize::Wiped<detail::SplitWords> split;
  const size_t count = static_cast<size_t>(subtle::public_value(detail::split_words(text, split.get())));
  if (!is_valid_word_count(count)) return ParseError{ParseError::Kind::BadWordCount, count};

  // Every word is looked up; the first unknown one is picked without a
  // branch on the lookups.
  uint64_t have_unknown = 0;
  uint64_t first_unknown = 0;
  for (size_t i = 0; i < count; ++i) {
    uint16_t idx = 0;
    uint64_t unknown = detail::lookup(split->keys[i], split->lengths[i], idx) ^ 1;
    uint64_t take = subtle::black_box64(unknown & (have_unknown ^ 1));
    first_unknown = ((0 - take) & i) | (~(0 - take) & first_unknown);
    have_unknown |= unknown;
    out.words_[i] = idx;
  }
  out.count_ = count;
  // A phrase with an unknown word is refused, and the error names it.
  if (subtle::public_value(subtle::black_box64(have_unknown)) != 0) {
    out.clear();
    return ParseError{ParseError::Kind::UnknownWord, static_cast<size_t>(subtle::public_value(first_unknown))};
  }

  // The checksum is the first count / 3 bits of SHA-256(entropy); they end
  // the bit string, so they are the low bits of the last word.
  zeroize::SecretArray<kEntropyArrayLen> bits;
  pack_bits(out.words_, count, bits.span());
  const size_t entropy_len = count / 3 * 4;
  const unsigned cs_bits = static_cast<unsigned>(count / 3);
  zeroize::SecretArray<32> digest;
  sha2::Sha256().update(std::span<const uint8_t>(bits.data(), entropy_len)).finish(digest.span());
  const uint8_t want = static_cast<uint8_t>(digest[0] >> (8 - cs_bits));
  const uint8_t have = static_cast<uint8_t>(out.words_[count - 1] & ((1u << cs_bits) - 1));
  // Only the verdict is revealed: a bad checksum refuses the phrase.
  if (!subtle::public_value(subtle::ct_eq(&want, &have, 1).declassify())) {
    out.clear();
    return ParseError{ParseError::Kind::InvalidChecksum, 0};
  }
  return std::nullopt;
}

size_t Mnemonic::to_entropy_array(std::span<uint8_t, kEntropyArrayLen> out) const noexcept {
  pack_bits(words_, count_, out);
  return count_ / 3 * 4;
}

}  // namespace bip39
