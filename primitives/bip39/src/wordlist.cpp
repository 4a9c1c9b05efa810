#include <cstring>

#include "bip39/bip39.hpp"
#include "bip39/testing.hpp"
#include "subtle/subtle.hpp"
#include "wordlist_internal.hpp"
#include "zeroize/zeroize.hpp"

namespace bip39 {
namespace detail {
namespace {

// All ones when a == b, else zero.
inline uint64_t eq_mask(uint64_t a, uint64_t b) noexcept {
  const uint64_t d = a ^ b;
  return subtle::black_box64(((d | (0 - d)) >> 63) - 1);
}

// All ones when lo <= x <= hi, else zero (all three below 2^63).
inline uint64_t range_mask(uint64_t x, uint64_t lo, uint64_t hi) noexcept {
  return subtle::black_box64((((x - lo) >> 63) - 1) & (((hi - x) >> 63) - 1));
}

// Length in bytes (0 to 3) of the white-space character that starts at p
// (UTF-8, `avail` bytes there, a public count), or 0 when none starts there:
// U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F and U+3000. Every test is a mask, whatever the
// bytes.
uint64_t whitespace_len(const unsigned char* p, size_t avail) noexcept {
  const uint64_t c0 = p[0];
  const uint64_t c1 = avail >= 2 ? p[1] : 0;
  const uint64_t c2 = avail >= 3 ? p[2] : 0;
  const uint64_t two = avail >= 2 ? ~uint64_t{0} : 0;
  const uint64_t three = avail >= 3 ? ~uint64_t{0} : 0;
  const uint64_t one_byte = eq_mask(c0, 0x20) | range_mask(c0, 0x09, 0x0D);
  const uint64_t two_bytes = two & eq_mask(c0, 0xC2) & (eq_mask(c1, 0x85) | eq_mask(c1, 0xA0));
  const uint64_t e2_80 = eq_mask(c0, 0xE2) & eq_mask(c1, 0x80) &
                         (range_mask(c2, 0x80, 0x8A) | eq_mask(c2, 0xA8) | eq_mask(c2, 0xA9) | eq_mask(c2, 0xAF));
  const uint64_t three_bytes = three & ((eq_mask(c0, 0xE1) & eq_mask(c1, 0x9A) & eq_mask(c2, 0x80)) | e2_80 |
                                        (eq_mask(c0, 0xE2) & eq_mask(c1, 0x81) & eq_mask(c2, 0x9F)) |
                                        (eq_mask(c0, 0xE3) & eq_mask(c1, 0x80) & eq_mask(c2, 0x80)));
  return (one_byte & 1) | (two_bytes & 2) | (three_bytes & 3);
}

}  // namespace

uint64_t lookup(const std::array<uint8_t, kMaxWordLen>& key_bytes, uint64_t len, uint16_t& index) noexcept {
  uint64_t key = 0;
  std::memcpy(&key, key_bytes.data(), kMaxWordLen);
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

// One pass over every byte, the scanner's state kept in masks: `skip`
// counts the continuation bytes of a white-space character still to pass
// over, and each word byte is written into every slot under a mask that
// is set only for the current word's slot and the byte's position in it.
uint64_t split_words(std::string_view text, SplitWords& out) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  out = SplitWords{};
  uint64_t skip = 0;     // continuation bytes left to pass over
  uint64_t in_word = 0;  // all ones inside a word
  uint64_t count = 0;    // words started so far
  uint64_t pos = 0;      // bytes of the current word so far
  for (size_t i = 0; i < n; ++i) {
    const uint64_t ws = whitespace_len(p + i, n - i);
    const uint64_t starts = eq_mask(skip, 0);  // this byte begins a character
    const uint64_t is_space = starts & ~eq_mask(ws, 0);
    const uint64_t is_letter = starts & eq_mask(ws, 0);
    const uint64_t begins = is_letter & ~in_word;
    skip = (~starts & (skip - 1)) | (is_space & (ws - 1));
    in_word = (in_word | is_letter) & ~is_space;
    count += begins & 1;
    const uint64_t at = pos & ~begins;  // this byte's position in its word
    pos = (is_letter & (at + 1)) | (~is_letter & pos);
    uint8_t placed[kMaxWordLen];  // the byte at its position, zero elsewhere
    for (size_t b = 0; b < kMaxWordLen; ++b) placed[b] = static_cast<uint8_t>(p[i] & eq_mask(b, at));
    for (size_t s = 0; s < kMaxWords; ++s) {
      const uint64_t here = is_letter & eq_mask(s + 1, count);
      out.lengths[s] = (here & (at + 1)) | (~here & out.lengths[s]);
      for (size_t b = 0; b < kMaxWordLen; ++b)
        out.keys[s][b] = static_cast<uint8_t>(out.keys[s][b] | (placed[b] & here));
    }
    zeroize::wipe(placed, sizeof placed);
  }
  return count;
}

}  // namespace detail

std::string_view english_word(size_t index) noexcept {
  if (index >= kWordListSize) return {};
  return std::string_view(detail::kEnglishSlots + 8 * index, detail::kEnglishLengths[index]);
}

std::optional<uint16_t> testing::find_english_word(std::string_view word) noexcept {
  std::array<uint8_t, kMaxWordLen> key{};
  if (!word.empty()) std::memcpy(key.data(), word.data(), word.size() < kMaxWordLen ? word.size() : kMaxWordLen);
  uint16_t index = 0;
  const uint64_t found = detail::lookup(key, word.size(), index);
  zeroize::wipe_object(key);
  if (found == 0) return std::nullopt;
  return index;
}

size_t testing::count_words(std::string_view text) noexcept {
  zeroize::Wiped<detail::SplitWords> words;
  return static_cast<size_t>(detail::split_words(text, words.get()));
}

}  // namespace bip39
