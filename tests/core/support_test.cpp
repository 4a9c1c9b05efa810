#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "fault/fault.hpp"
#include "osrng/osrng.hpp"
#include "osrng/testing.hpp"
#include "subtle/subtle.hpp"
#include "vectors.hpp"
#include "zeroize/zeroize.hpp"

TEST(Subtle, EqualityAndZeroTest) {
  uint8_t a[5] = {1, 2, 3, 4, 5}, b[5] = {1, 2, 3, 4, 5}, c[5] = {1, 2, 3, 4, 6}, z[5] = {};
  EXPECT_TRUE(subtle::ct_eq(a, b, 5).declassify());
  EXPECT_FALSE(subtle::ct_eq(a, c, 5).declassify());
  EXPECT_TRUE(subtle::ct_is_zero(z, 5).declassify());
  EXPECT_FALSE(subtle::ct_is_zero(a, 5).declassify());
  auto t = subtle::Choice::from_bit(true), f = subtle::Choice::from_bit(false);
  EXPECT_FALSE((t & f).declassify());
  EXPECT_TRUE((t & t).declassify());
  EXPECT_TRUE((!f).declassify());
  EXPECT_EQ(subtle::ct_select(t, 7, 9), 7);
  EXPECT_EQ(subtle::ct_select(f, 7, 9), 9);
}

TEST(Zeroize, HoldersWipeOnRelease) {
  alignas(8) unsigned char storage[sizeof(zeroize::SecretArray<16>)];
  auto* s = new (storage) zeroize::SecretArray<16>();
  for (size_t i = 0; i < 16; ++i) (*s)[i] = 0xAA;
  s->~SecretArray();
  for (unsigned char ch : storage) EXPECT_EQ(ch, 0);
}

TEST(OsRng, BothPathsProduceBytesAndFailureIsAnInternalFault) {
  uint8_t a[32] = {}, b[32] = {};
  osrng::fill(a, 32);
  osrng::testing::force_device_fallback(true);
  osrng::fill(b, 32);
  osrng::testing::force_device_fallback(false);
  EXPECT_FALSE(subtle::ct_is_zero(a, 32).declassify());
  EXPECT_FALSE(subtle::ct_is_zero(b, 32).declassify());
  EXPECT_FALSE(subtle::ct_eq(a, b, 32).declassify());
  osrng::testing::force_failure(true);
  EXPECT_THROW(osrng::fill(a, 32), fault::InternalFault);
  osrng::testing::force_failure(false);
}

// The vector folder: $VALTORIMESCA_VECTORS when set, else the repository's
// own copy; a file that is not there fails with the folder searched.
TEST(Vectors, OverrideAndMissingFileNamesTheFolder) {
  const char* before = std::getenv("VALTORIMESCA_VECTORS");
  const std::string saved = before != nullptr ? before : "";
  unsetenv("VALTORIMESCA_VECTORS");
  EXPECT_TRUE(vt_test::vectors_dir().ends_with("/tests/vectors")) << vt_test::vectors_dir();
  setenv("VALTORIMESCA_VECTORS", "/nonexistent/vector-folder", 1);
  try {
    vt_test::load_vectors("absent.json");
    ADD_FAILURE() << "a missing vector file must throw";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/vector-folder"), std::string::npos) << e.what();
  }
  if (before != nullptr)
    setenv("VALTORIMESCA_VECTORS", saved.c_str(), 1);
  else
    unsetenv("VALTORIMESCA_VECTORS");
}
