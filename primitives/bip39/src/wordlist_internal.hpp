// Internals shared by the word list and the phrase parser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bip39/bip39.hpp"

namespace bip39::detail {

// Generated from data/english.txt: word i occupies bytes [8i, 8i + 8),
// zero-padded, and has kEnglishLengths[i] letters.
extern const char kEnglishSlots[2048 * 8 + 1];
extern const uint8_t kEnglishLengths[2048];

// Constant-time lookup of a word given as its first kMaxWordLen bytes
// (zero-padded, in the slots' layout) and its full length: 1 and the index
// in `index` when it is in the list, otherwise 0 and index 0. Every entry is
// compared.
uint64_t lookup(const std::array<uint8_t, kMaxWordLen>& key, uint64_t len, uint16_t& index) noexcept;

// The words of a phrase, found without a branch or a memory index on its
// bytes: the first kMaxWords words, each as its first kMaxWordLen bytes
// (zero-padded) and its full length.
struct SplitWords {
  std::array<std::array<uint8_t, kMaxWordLen>, kMaxWords> keys{};
  std::array<uint64_t, kMaxWords> lengths{};
};

// Splits `text` at runs of white space into `out` and returns the number
// of words (also those past kMaxWords, which are not kept). The count is
// as secret as the text; the caller decides what to reveal.
uint64_t split_words(std::string_view text, SplitWords& out) noexcept;

}  // namespace bip39::detail
