#include "valtorimesca/mnemonic.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "oracle_client.hpp"
#include "vectors.hpp"

namespace {

using valtorimesca::CoreError;
using valtorimesca::mnemonic::master_seed_from_mnemonic;
using vt_test::to_hex;

std::optional<std::string> seed_hex(const std::string& phrase, std::optional<std::string> password) {
  std::optional<std::string_view> pw;
  if (password) pw = *password;
  auto r = master_seed_from_mnemonic(phrase, pw);
  if (!r.ok()) {
    EXPECT_EQ(r.error(), CoreError::invalid_mnemonic());
    return std::nullopt;
  }
  return to_hex(r->data(), r->size());
}

std::vector<std::string> oracle_phrases(const std::vector<std::vector<uint8_t>>& entropies) {
  nlohmann::json req = nlohmann::json::array();
  for (const auto& e : entropies) req.push_back({{"op", "to_mnemonic"}, {"entropy", to_hex(e)}});
  auto out = seeds_test::run_oracle(req);
  std::vector<std::string> phrases;
  for (const auto& p : out) phrases.push_back(p.get<std::string>());
  return phrases;
}

// PBKDF2-HMAC-SHA512 over the phrase's entropy (as python3-mnemonic recovers
// it), computed by the oracle with HMAC written out over hashlib.
TEST(MasterSeed, MatchesPbkdf2OverTheEntropy) {
  std::vector<std::vector<uint8_t>> entropies;
  for (size_t len : {16, 20, 24, 28, 32}) {
    entropies.push_back(vt_test::pseudo_random_bytes(7000 + len, len));
    entropies.emplace_back(len, 0xff);
  }
  const auto phrases = oracle_phrases(entropies);
  const std::vector<std::string> passwords = {"",
                                              "TREZOR",
                                              " ",
                                              "p\xc3\xa4ssw\xc3\xb6rd",
                                              "pa\xcc\x88ssw\xc3\xb6rd",
                                              std::string("nul\0inside", 10),
                                              std::string(300, 'x')};
  nlohmann::json req = nlohmann::json::array();
  std::vector<std::optional<std::string>> got;
  for (size_t i = 0; i < phrases.size(); ++i) {
    // Every phrase with the empty password, a few with the others.
    for (size_t k = 0; k < passwords.size(); ++k) {
      if (k != 0 && (i + k) % 3 != 0) continue;
      req.push_back({{"op", "master_seed"}, {"phrase", phrases[i]}, {"password", passwords[k]}});
      got.push_back(seed_hex(phrases[i], passwords[k]));
    }
  }
  auto want = seeds_test::run_oracle(req);
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_TRUE(got[i].has_value()) << req[i].dump();
    EXPECT_EQ(*got[i], want[i].get<std::string>()) << req[i].dump();
  }
}

TEST(MasterSeed, IsNotTheStandardBip39Seed) {
  const std::string phrase = "legal winner thank year wave sausage worth useful legal winner thank yellow";
  auto want = seeds_test::run_oracle(nlohmann::json::array({
      {{"op", "standard_seed"}, {"phrase", phrase}, {"password", "TREZOR"}},
  }));
  const std::string standard = want[0].get<std::string>();
  // The published BIP-39 vector for this phrase and password.
  ASSERT_EQ(standard,
            "2e8905819b8723fe2c1d161860e5ee1830318dbf49a83bd451cfb8440c28bd6fa457fe1296106559a3c80937a1c1069be3a3a5bd"
            "381ee6260e8d9739fce1f607");
  auto ours = seed_hex(phrase, "TREZOR");
  ASSERT_TRUE(ours.has_value());
  EXPECT_NE(*ours, standard.substr(0, 64));
  EXPECT_NE(*ours, standard.substr(64));
}

TEST(MasterSeed, PasswordIsTakenAsBytes) {
  const std::string phrase =
      "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";
  const auto absent = seed_hex(phrase, std::nullopt);
  ASSERT_TRUE(absent.has_value());
  EXPECT_EQ(seed_hex(phrase, ""), absent);
  EXPECT_NE(seed_hex(phrase, " "), absent);
  // Composed and decomposed forms of one text are different passwords.
  EXPECT_NE(seed_hex(phrase, "\xc3\xa4"), seed_hex(phrase, "a\xcc\x88"));
}

TEST(MasterSeed, PhraseEdgeCases) {
  const std::string canonical = "letter advice cage absurd amount doctor acoustic avoid letter advice cage above";
  const auto want = seed_hex(canonical, "pw");
  ASSERT_TRUE(want.has_value());
  struct Case {
    std::string name, phrase;
    bool same_seed;  // else InvalidMnemonic
  };
  const std::vector<Case> cases = {
      {"two spaces between words", "letter  advice cage absurd amount doctor acoustic avoid letter advice cage above",
       true},
      {"tab and new line", "letter\tadvice\ncage absurd amount doctor acoustic avoid letter advice cage above", true},
      {"leading and trailing white space", " \n" + canonical + "\r\n", true},
      {"no-break space",
       "letter\xc2\xa0"
       "advice cage absurd amount doctor acoustic avoid letter advice cage above",
       true},
      {"ideographic space",
       "letter\xe3\x80\x80"
       "advice cage absurd amount doctor acoustic avoid letter advice cage above",
       true},
      {"a word in capitals", "letter ADVICE cage absurd amount doctor acoustic avoid letter advice cage above", false},
      {"capitalised first word", "Letter advice cage absurd amount doctor acoustic avoid letter advice cage above",
       false},
      {"full-width letter (not normalised)",
       "\xef\xbd\x8c"
       "etter advice cage absurd amount doctor acoustic avoid letter advice cage above",
       false},
      {"13 words", canonical + " above", false},
      {"11 words", "letter advice cage absurd amount doctor acoustic avoid letter advice cage", false},
      {"last word changed", "letter advice cage absurd amount doctor acoustic avoid letter advice cage about", false},
      {"empty", "", false},
      {"separator outside White_Space",
       "letter\x1f"
       "advice cage absurd amount doctor acoustic avoid letter advice "
       "cage above",
       false},
  };
  for (const auto& c : cases) {
    auto got = seed_hex(c.phrase, "pw");
    if (c.same_seed) {
      EXPECT_EQ(got, want) << c.name;
    } else {
      EXPECT_FALSE(got.has_value()) << c.name;
    }
  }
}

}  // namespace
