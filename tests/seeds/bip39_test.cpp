#include "bip39/bip39.hpp"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <optional>
#include <string>
#include <vector>

#include "bip39/testing.hpp"
#include "oracle_client.hpp"
#include "vectors.hpp"

namespace {

using bip39::Mnemonic;
using bip39::ParseError;
using Kind = bip39::ParseError::Kind;

std::string join(const std::vector<std::string>& words, const std::string& sep) {
  std::string s;
  for (size_t i = 0; i < words.size(); ++i) s += (i ? sep : "") + words[i];
  return s;
}

std::vector<std::string> split_spaces(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == ' ') {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return out;
}

std::optional<std::vector<uint8_t>> parse_entropy(const std::string& text, std::optional<ParseError>* err = nullptr) {
  Mnemonic m;
  auto e = Mnemonic::parse_in_normalized(text, m);
  if (err) *err = e;
  if (e) {
    EXPECT_EQ(m.word_count(), 0u);
    return std::nullopt;
  }
  std::array<uint8_t, bip39::kEntropyArrayLen> arr{};
  size_t n = m.to_entropy_array(arr);
  return std::vector<uint8_t>(arr.begin(), arr.begin() + n);
}

const std::string kZero12 =
    "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";

TEST(Bip39WordList, EmbeddedListHasTheReferenceDigest) {
  std::string joined;
  for (size_t i = 0; i < bip39::kWordListSize; ++i) joined += std::string(bip39::english_word(i)) + "\n";
  uint8_t md[32];
  unsigned len = 0;
  ASSERT_EQ(EVP_Digest(joined.data(), joined.size(), md, &len, EVP_sha256(), nullptr), 1);
  EXPECT_EQ(vt_test::to_hex(md, len), "2f5eed53a4727b4bf8880d8f3f199efc90e58503646d9ff8eff3a2ed3b24dbda");
  EXPECT_EQ(bip39::english_word(0), "abandon");
  EXPECT_EQ(bip39::english_word(2047), "zoo");
  EXPECT_EQ(bip39::english_word(2048), "");
}

TEST(Bip39WordList, EveryWordIsFoundAtItsIndex) {
  for (size_t i = 0; i < bip39::kWordListSize; ++i) {
    auto w = bip39::english_word(i);
    ASSERT_LE(w.size(), bip39::kMaxWordLen);
    auto idx = bip39::testing::find_english_word(w);
    ASSERT_TRUE(idx.has_value()) << w;
    EXPECT_EQ(*idx, i) << w;
  }
}

TEST(Bip39WordList, NearMissesAreNotWords) {
  const std::string with_nul("abandon\0", 8);
  for (std::string w :
       {std::string(""), std::string("Abandon"), std::string("ABANDON"), std::string("abando"), std::string("abandonx"),
        std::string("abandoned"), with_nul, std::string(" zoo"), std::string("zoo "), std::string("zo"),
        std::string("zooo"), std::string("caf\xc3\xa9"), std::string("abandonabandon")}) {
    EXPECT_FALSE(bip39::testing::find_english_word(w).has_value()) << w;
  }
  EXPECT_FALSE(bip39::testing::find_english_word(std::string_view()).has_value());
}

TEST(Bip39Parse, ErrorsInTheOrderCountWordsChecksum) {
  std::vector<std::string> w12 = split_spaces(kZero12);
  auto with = [&](size_t pos, const std::string& word) {
    auto w = w12;
    w[pos] = word;
    return join(w, " ");
  };
  // The first two words joined by `sep`, the rest single-spaced.
  auto glue = [&](const std::string& sep) {
    return join({w12.begin(), w12.begin() + 2}, sep) + " " + join({w12.begin() + 2, w12.end()}, " ");
  };
  auto repeat = [](const std::string& word, size_t n) { return join(std::vector<std::string>(n, word), " "); };
  struct Case {
    std::string name, text;
    ParseError want;
  };
  const std::vector<Case> cases = {
      {"empty", "", {Kind::BadWordCount, 0}},
      {"only white space", " \t\n ", {Kind::BadWordCount, 0}},
      {"3 words", "abandon abandon about", {Kind::BadWordCount, 3}},
      {"11 words", repeat("abandon", 11), {Kind::BadWordCount, 11}},
      {"13 words", kZero12 + " abandon", {Kind::BadWordCount, 13}},
      {"14 unknown words", repeat("xyzzy", 14), {Kind::BadWordCount, 14}},
      {"25 words", repeat("abandon", 24) + " art", {Kind::BadWordCount, 25}},
      {"27 words", repeat("abandon", 27), {Kind::BadWordCount, 27}},
      {"unknown at 5", with(5, "abandonx"), {Kind::UnknownWord, 5}},
      {"capitalised first word", with(0, "Abandon"), {Kind::UnknownWord, 0}},
      {"upper-case last word", with(11, "ABOUT"), {Kind::UnknownWord, 11}},
      {"first of two unknown", "zzzzzzz" + with(7, "qq").substr(7), {Kind::UnknownWord, 0}},
      {"unknown word with NUL", with(3, std::string("about\0", 6)), {Kind::UnknownWord, 3}},
      {"non-ASCII look-alike", with(2, "abandon\xc2\xad"), {Kind::UnknownWord, 2}},
      {"12 times abandon", repeat("abandon", 12), {Kind::InvalidChecksum, 0}},
      {"last word changed", with(11, "above"), {Kind::InvalidChecksum, 0}},
      {"24 times abandon", repeat("abandon", 24), {Kind::InvalidChecksum, 0}},
      {"15 times zoo", repeat("zoo", 15), {Kind::InvalidChecksum, 0}},
      // Separators outside Unicode White_Space glue words together.
      {"U+001C separator", glue("\x1c"), {Kind::BadWordCount, 11}},
      {"U+001F separator", glue("\x1f"), {Kind::BadWordCount, 11}},
      {"U+200B separator", glue("\xe2\x80\x8b"), {Kind::BadWordCount, 11}},
      {"U+FEFF separator", glue("\xef\xbb\xbf"), {Kind::BadWordCount, 11}},
      {"comma separator", glue(","), {Kind::BadWordCount, 11}},
      {"NUL separator", glue(std::string(1, '\0')), {Kind::BadWordCount, 11}},
      // A white-space character cut short by the end of the text is none.
      {"U+3000 cut short at the end", kZero12 + " \xe3\x80", {Kind::BadWordCount, 13}},
      {"U+00A0 cut short at the end", kZero12 + "\xc2", {Kind::UnknownWord, 11}},
  };
  for (const auto& c : cases) {
    std::optional<ParseError> err;
    EXPECT_FALSE(parse_entropy(c.text, &err).has_value()) << c.name;
    ASSERT_TRUE(err.has_value()) << c.name;
    EXPECT_EQ(err->kind, c.want.kind) << c.name;
    EXPECT_EQ(err->value, c.want.value) << c.name;
  }
}

TEST(Bip39Parse, AnyRunOfUnicodeWhiteSpaceSeparates) {
  const std::vector<uint8_t> zero(16, 0);
  auto w12 = split_spaces(kZero12);
  const std::vector<std::pair<std::string, std::string>> seps = {
      {"two spaces", "  "},
      {"tab", "\t"},
      {"new line", "\n"},
      {"CR LF", "\r\n"},
      {"vertical tab", "\v"},
      {"form feed", "\f"},
      {"U+0085", "\xc2\x85"},
      {"U+00A0", "\xc2\xa0"},
      {"U+1680", "\xe1\x9a\x80"},
      {"U+2000", "\xe2\x80\x80"},
      {"U+200A", "\xe2\x80\x8a"},
      {"U+2028", "\xe2\x80\xa8"},
      {"U+2029", "\xe2\x80\xa9"},
      {"U+202F", "\xe2\x80\xaf"},
      {"U+205F", "\xe2\x81\x9f"},
      {"U+3000", "\xe3\x80\x80"},
      {"mixed run", " \t\xe3\x80\x80\n "},
  };
  for (const auto& [name, sep] : seps) {
    auto got = parse_entropy(join(w12, sep));
    ASSERT_TRUE(got.has_value()) << name;
    EXPECT_EQ(*got, zero) << name;
    auto padded = parse_entropy(sep + join(w12, " ") + sep);
    ASSERT_TRUE(padded.has_value()) << name << " (leading and trailing)";
    EXPECT_EQ(*padded, zero) << name;
  }
}

// Phrases from python3-mnemonic for every word count parse back to their
// entropy, and the checksum bits follow the entropy in the array.
TEST(Bip39Parse, EntropyMatchesPythonMnemonicForEveryWordCount) {
  std::vector<std::vector<uint8_t>> entropies;
  for (size_t len : {16, 20, 24, 28, 32}) {
    entropies.emplace_back(len, 0x00);
    entropies.emplace_back(len, 0xff);
    entropies.emplace_back(len, 0x7f);
    entropies.emplace_back(len, 0x80);
    for (uint64_t s = 0; s < 3; ++s) entropies.push_back(vt_test::pseudo_random_bytes(len * 100 + s, len));
  }
  nlohmann::json req = nlohmann::json::array();
  for (const auto& e : entropies) req.push_back({{"op", "to_mnemonic"}, {"entropy", vt_test::to_hex(e)}});
  auto phrases = seeds_test::run_oracle(req);
  for (size_t i = 0; i < entropies.size(); ++i) {
    const std::string phrase = phrases[i].get<std::string>();
    Mnemonic m;
    ASSERT_FALSE(Mnemonic::parse_in_normalized(phrase, m).has_value()) << phrase;
    EXPECT_EQ(m.word_count(), entropies[i].size() * 3 / 4);
    for (size_t k = 0; k < m.word_count(); ++k) EXPECT_EQ(m.word(k), split_spaces(phrase)[k]);
    std::array<uint8_t, bip39::kEntropyArrayLen> arr{};
    size_t n = m.to_entropy_array(arr);
    ASSERT_EQ(n, entropies[i].size());
    EXPECT_EQ(std::vector<uint8_t>(arr.begin(), arr.begin() + n), entropies[i]);
    uint8_t md[32];
    unsigned mdlen = 0;
    ASSERT_EQ(EVP_Digest(arr.data(), n, md, &mdlen, EVP_sha256(), nullptr), 1);
    const unsigned cs = static_cast<unsigned>(m.word_count() / 3);
    const uint8_t want_tail = static_cast<uint8_t>(md[0] & (0xff << (8 - cs)));
    if (n < arr.size()) {
      EXPECT_EQ(arr[n], want_tail);
    }
    for (size_t k = n + 1; k < arr.size(); ++k) EXPECT_EQ(arr[k], 0);
  }
}

// With eleven words fixed, the checksum accepts exactly the last words that
// python3-mnemonic accepts.
TEST(Bip39Parse, ChecksumAgreesWithPythonMnemonicOverEveryLastWord) {
  auto words = split_spaces("legal winner thank year wave sausage worth useful legal winner thank yellow");
  nlohmann::json req = nlohmann::json::array();
  std::vector<std::string> phrases;
  for (size_t i = 0; i < bip39::kWordListSize; ++i) {
    words.back() = std::string(bip39::english_word(i));
    phrases.push_back(join(words, " "));
    req.push_back({{"op", "check"}, {"phrase", phrases.back()}});
  }
  auto want = seeds_test::run_oracle(req);
  size_t accepted = 0;
  for (size_t i = 0; i < phrases.size(); ++i) {
    std::optional<ParseError> err;
    bool ok = parse_entropy(phrases[i], &err).has_value();
    EXPECT_EQ(ok, want[i].get<bool>()) << phrases[i];
    if (!ok) {
      EXPECT_EQ(err->kind, Kind::InvalidChecksum);
    }
    accepted += ok;
  }
  EXPECT_EQ(accepted, 128u);  // 7 free entropy bits in the last word
}

}  // namespace
