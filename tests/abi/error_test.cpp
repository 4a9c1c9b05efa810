#include "valtorimesca_abi/error.hpp"

#include <gtest/gtest.h>

#include "valtorimesca_abi/sizes.hpp"

using namespace valtorimesca_abi;
using valtorimesca::CoreError;
using valtorimesca::stateful::StatefulSignError;

TEST(AbiError, MessagesAreFixedLowerCaseAndUnpunctuated) {
  for (uint8_t c = 1; c <= 21; ++c) {
    if (c == 4) {
      EXPECT_FALSE(is_valid_code(c));
      continue;
    }
    ASSERT_TRUE(is_valid_code(c));
    auto m = message(static_cast<AbiError>(c));
    ASSERT_FALSE(m.empty()) << int(c);
    EXPECT_TRUE(m.front() >= 'a' && m.front() <= 'z') << m;
    EXPECT_NE(m.back(), '.') << m;
    EXPECT_EQ(m.find(std::to_string(c) + ":"), std::string_view::npos);
  }
  EXPECT_FALSE(is_valid_code(0));
  EXPECT_FALSE(is_valid_code(22));
  EXPECT_EQ(message(AbiError::LeavesExhausted), "the key's one-time leaf budget is spent; rotate the key");
  EXPECT_EQ(message(AbiError::InvalidMnemonic), "not a valid English BIP39 mnemonic phrase");
  EXPECT_EQ(variant_name(AbiError::WrongEntryPointForSuite), "WrongEntryPointForSuite");
}

TEST(AbiError, CoreAndSigningMapsFollowDeclarationOrder) {
  const uint8_t core_codes[] = {1, 2, 3, 5, 6, 7, 8, 9, 10, 19, 20, 21};
  for (uint8_t k = 0; k < 12; ++k)
    EXPECT_EQ(code(from_core(CoreError{static_cast<CoreError::Kind>(k)})), core_codes[k]);
  EXPECT_EQ(from_core(CoreError::bad_length(32, 31)), from_core(CoreError::bad_length(1312, 0)));
  const uint8_t sign_codes[] = {11, 12, 13, 17, 18, 19, 20, 14};
  for (uint8_t k = 0; k < 8; ++k) EXPECT_EQ(code(from_sign(static_cast<StatefulSignError>(k))), sign_codes[k]);
}

TEST(Sizes, SignatureLenTable) {
  const size_t want[] = {2484, 731, 2484, 731, 133225, 133225};
  for (uint8_t c = 1; c <= 6; ++c) EXPECT_EQ(signature_len(static_cast<SuiteCode>(c)), want[c - 1]);
  EXPECT_EQ(64u + 1 + 4 + 2084 + 32 * 4096, 133225u);
  EXPECT_EQ(sizes(SuiteCode::SR_SH).vrf_proof, 29188u);
}
