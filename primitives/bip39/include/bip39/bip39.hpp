// BIP-39 mnemonics over the English word list.
//
// Phrases are taken as already normalised UTF-8: no Unicode normalisation
// and no case folding. Words are separated by runs of Unicode white space
// (the characters with the White_Space property); leading and trailing
// white space is ignored. A phrase must hold 12, 15, 18, 21 or 24 words, each
// exactly a word of the list, and its checksum must hold.
//
// Parsing takes no branch and no memory index on the phrase's bytes: the
// words are split in one masked pass over the text, each lookup compares
// every entry of the list, and the checksum is compared in constant time.
// What it reveals is the number of words and the verdicts (which check
// failed, and where the first unknown word stands).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace bip39 {

inline constexpr size_t kWordListSize = 2048;
inline constexpr size_t kMinWords = 12;
inline constexpr size_t kMaxWords = 24;
// Longest word of the English list.
inline constexpr size_t kMaxWordLen = 8;
// Entropy of the longest phrase plus its checksum byte: 24 * 11 bits.
inline constexpr size_t kEntropyArrayLen = 33;

// The word at `index` (0 to 2047) of the English list; an out-of-range index
// gives an empty view.
std::string_view english_word(size_t index) noexcept;

// True for the word counts a phrase may have: 12, 15, 18, 21, 24.
constexpr bool is_valid_word_count(size_t n) noexcept { return n >= kMinWords && n <= kMaxWords && n % 3 == 0; }

struct ParseError {
  enum class Kind : uint8_t {
    BadWordCount,     // value: the number of words found
    UnknownWord,      // value: the position of the first unknown word
    InvalidChecksum,  // value: 0
  };
  Kind kind;
  size_t value = 0;

  bool operator==(const ParseError&) const = default;
};

// A parsed phrase: its word indices, wiped when released.
class Mnemonic {
 public:
  Mnemonic() noexcept = default;
  ~Mnemonic();
  Mnemonic(const Mnemonic&) = delete;
  Mnemonic& operator=(const Mnemonic&) = delete;

  // Parses `text` (see the top of this file). On failure `out` is left
  // empty. The checks come in this order: word count, words, checksum.
  // A failing hash is an internal fault (fault::InternalFault).
  static std::optional<ParseError> parse_in_normalized(std::string_view text, Mnemonic& out);

  size_t word_count() const noexcept { return count_; }
  uint16_t word_index(size_t i) const noexcept { return i < count_ ? words_[i] : 0; }
  std::string_view word(size_t i) const noexcept { return i < count_ ? english_word(words_[i]) : std::string_view(); }

  // Writes the entropy (word_count / 3 * 4 bytes, 16 to 32) into the first
  // bytes of `out` and returns its length; the bytes after it hold the
  // checksum bits followed by zeros. An empty mnemonic gives 0.
  size_t to_entropy_array(std::span<uint8_t, kEntropyArrayLen> out) const noexcept;

 private:
  void clear() noexcept;

  std::array<uint16_t, kMaxWords> words_{};
  size_t count_ = 0;
};

}  // namespace bip39
