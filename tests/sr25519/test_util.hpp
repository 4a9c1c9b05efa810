#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/suites.hpp"

namespace sr_test {

using valtorimesca::classical::sr25519::Sr25519;
using Bytes = std::vector<uint8_t>;

inline std::span<const uint8_t> label_sr_ml() {
  return valtorimesca::suites::label_bytes(valtorimesca::suites::kLabelSrMl44);
}
inline std::span<const uint8_t> label_sr_fn() {
  return valtorimesca::suites::label_bytes(valtorimesca::suites::kLabelSrFn512);
}

struct Keys {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
};

inline Keys keys_from(uint8_t fill) {
  std::array<uint8_t, 32> seed{};
  seed.fill(fill);
  Keys k;
  if (!Sr25519::derive(seed, k.sk, k.pk)) throw std::runtime_error("derive failed");
  return k;
}

inline std::span<const uint8_t> str(const char* s) {
  return {reinterpret_cast<const uint8_t*>(s), std::char_traits<char>::length(s)};
}

// One expected failure of a table of error cases.
struct ErrCase {
  const char* name;
  valtorimesca::CoreStatus st;
  valtorimesca::CoreError want;
};

template <size_t N>
void expect_errors(const ErrCase (&table)[N]) {
  for (const auto& c : table) {
    ASSERT_FALSE(c.st) << c.name;
    EXPECT_EQ(c.st.error(), c.want) << c.name;
  }
}

}  // namespace sr_test
