// The code paths ML-DSA-44 can run on (the arithmetic form and the Keccak
// lanes under it), and a guard that selects one for a test.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "internal.hpp"
#include "keccak/keccak.hpp"

namespace vt_test {

struct MlDsaPath {
  const char* name;
  mldsa::detail::Arith arith;
  keccak::Backend keccak_cap;
  const char* arith_name;
  const char* keccak_x8_name;
};

using mldsa::detail::Arith;
inline constexpr MlDsaPath kMlDsaPaths[] = {
    {"portable", Arith::kPortable, keccak::Backend::kPortable, "portable", "portable"},
    {"avx2", Arith::kAvx2, keccak::Backend::kAvx2, "avx2", "avx2"},
    {"avx2_keccak512", Arith::kAvx2, keccak::Backend::kAvx512f, "avx2", "avx512f"},
    {"avx512", Arith::kAvx512, keccak::Backend::kAvx512f, "avx512", "avx512f"},
    {"avx512vl", Arith::kAvx512, keccak::Backend::kAvx512vl, "avx512", "avx512f"},
};

inline bool path_available(const MlDsaPath& p) {
  return mldsa::detail::best_arith() >= p.arith && keccak::best_backend() >= p.keccak_cap;
}

// Selects the path for its lifetime, then returns to the processor's choice.
class UseMlDsaPath {
 public:
  explicit UseMlDsaPath(const MlDsaPath& p) {
    mldsa::detail::cap_arith(p.arith);
    keccak::cap_backend(p.keccak_cap);
    EXPECT_STREQ(mldsa::detail::arith_backend(), p.arith_name);
    EXPECT_STREQ(keccak::x8_backend(), p.keccak_x8_name);
  }
  ~UseMlDsaPath() {
    mldsa::detail::force_portable_arith(false);
    keccak::uncap_backend();
  }
  UseMlDsaPath(const UseMlDsaPath&) = delete;
  UseMlDsaPath& operator=(const UseMlDsaPath&) = delete;
};

// Base of the tests that run once per path; paths this machine lacks skip.
class MlDsaPathTest : public ::testing::TestWithParam<MlDsaPath> {
 protected:
  void SetUp() override {
    if (!path_available(GetParam())) GTEST_SKIP() << GetParam().name << " not on this processor";
    guard_.emplace(GetParam());
  }
  void TearDown() override { guard_.reset(); }

 private:
  std::optional<UseMlDsaPath> guard_;
};

inline std::string path_name(const ::testing::TestParamInfo<MlDsaPath>& info) { return info.param.name; }

}  // namespace vt_test

#define VT_MLDSA_ON_EVERY_PATH(suite) \
  INSTANTIATE_TEST_SUITE_P(Paths, suite, ::testing::ValuesIn(vt_test::kMlDsaPaths), vt_test::path_name)
