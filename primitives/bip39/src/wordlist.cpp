#include <cstring>

#include "bip39/bip39.hpp"
#include "subtle/subtle.hpp"
#include "wordlist_internal.hpp"
#include "zeroize/zeroize.hpp"

namespace bip39 {
namespace detail {

uint64_t lookup(std::string_view word, uint16_t& index) noexcept {
  uint64_t key = 0;
  if (!word.empty()) std::memcpy(&key, word.data(), word.size() < kMaxWordLen ? word.size() : kMaxWordLen);
  const uint64_t len = word.size();
  uint64_t found = 0;
  uint64_t idx = 0;
  for (uint64_t i = 0; i < kWordListSize; ++i) {
    uint64_t entry;
    std::memcpy(&entry, kEnglishSlots + 8 * i, 8);
    uint64_t d = (entry ^ key) | (kEnglishLengths[i] ^ len);
    uint64_t eq = subtle::black_box64(((d | (0 - d)) >> 63) ^ 1);
    idx |= (0 - eq) & i;
    found |= eq;
  }
  zeroize::wipe_object(key);
  index = static_cast<uint16_t>(idx);
  return found;
}

size_t whitespace_len(const unsigned char* p, size_t n) noexcept {
  const unsigned char c = p[0];
  if (c == 0x20 || (c >= 0x09 && c <= 0x0D)) return 1;
  if (c == 0xC2 && n >= 2 && (p[1] == 0x85 || p[1] == 0xA0)) return 2;  // U+0085, U+00A0
  if (n < 3) return 0;
  if (c == 0xE1 && p[1] == 0x9A && p[2] == 0x80) return 3;  // U+1680
  if (c == 0xE2 && p[1] == 0x80) {
    const unsigned char t = p[2];
    // U+2000..U+200A, U+2028, U+2029, U+202F
    if ((t >= 0x80 && t <= 0x8A) || t == 0xA8 || t == 0xA9 || t == 0xAF) return 3;
    return 0;
  }
  if (c == 0xE2 && p[1] == 0x81 && p[2] == 0x9F) return 3;  // U+205F
  if (c == 0xE3 && p[1] == 0x80 && p[2] == 0x80) return 3;  // U+3000
  return 0;
}

}  // namespace detail

std::string_view english_word(size_t index) noexcept {
  if (index >= kWordListSize) return {};
  return std::string_view(detail::kEnglishSlots + 8 * index, detail::kEnglishLengths[index]);
}

std::optional<uint16_t> find_english_word(std::string_view word) noexcept {
  uint16_t index = 0;
  if (detail::lookup(word, index) == 0) return std::nullopt;
  return index;
}

size_t count_words(std::string_view text) noexcept {
  size_t n = 0;
  detail::for_each_word(text, [&](std::string_view) { ++n; });
  return n;
}

}  // namespace bip39
