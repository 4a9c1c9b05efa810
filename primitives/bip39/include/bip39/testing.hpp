// One-word lookups and word counting, for the tests of the phrase parser:
// each runs one of the steps parse_in_normalized runs on every word, alone.
// wordlist.cpp defines them; the library itself only parses whole phrases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bip39::testing {

// The index of `word` in the English list, or nothing. Every entry is
// compared, in constant time, whatever the word.
std::optional<uint16_t> find_english_word(std::string_view word) noexcept;

// Number of words of `text` when split at runs of white space.
size_t count_words(std::string_view text) noexcept;

}  // namespace bip39::testing
