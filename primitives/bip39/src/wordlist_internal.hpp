// Internals shared by the word list and the phrase parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace bip39::detail {

// Generated from data/english.txt: word i occupies bytes [8i, 8i + 8),
// zero-padded, and has kEnglishLengths[i] letters.
extern const char kEnglishSlots[2048 * 8 + 1];
extern const uint8_t kEnglishLengths[2048];

// Constant-time lookup: 1 and the index in `index` when `word` is in the
// list, otherwise 0 and index 0. Every entry is compared.
uint64_t lookup(std::string_view word, uint16_t& index) noexcept;

// Length in bytes of the white-space character that starts at `p` (UTF-8,
// `n` bytes available), or 0 when none starts there.
size_t whitespace_len(const unsigned char* p, size_t n) noexcept;

// Calls f(word) for every maximal run of non-white-space characters.
template <class F>
void for_each_word(std::string_view text, F&& f) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    size_t ws = whitespace_len(p + i, n - i);
    if (ws != 0) {
      i += ws;
      continue;
    }
    size_t start = i;
    while (i < n && whitespace_len(p + i, n - i) == 0) ++i;
    f(text.substr(start, i - start));
  }
}

}  // namespace bip39::detail
