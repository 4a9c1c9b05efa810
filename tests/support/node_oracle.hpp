// The differential-test oracles: node scripts over npm packages in
// tests/oracles (installed there by `npm ci`). When that install could not
// be made, scripts/test sets $VT_ORACLES_SKIP to the reason and the oracle
// tests skip with it; otherwise a missing install fails them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vt_test {

std::filesystem::path oracle_dir();

// $VT_ORACLES_SKIP, or empty.
std::string oracle_skip_reason();

// Runs `node tests/oracles/<script> <in> <out>` with `input` as the content of
// <in> and returns the content of <out>. Throws when the npm packages are
// not installed or the script fails.
std::string run_node_oracle(const std::string& script, const std::string& input);

}  // namespace vt_test

// First statement of an oracle test.
#define VT_SKIP_WITHOUT_NODE_ORACLES()                                              \
  do {                                                                              \
    const std::string vt_reason_ = ::vt_test::oracle_skip_reason();                 \
    if (!vt_reason_.empty()) GTEST_SKIP() << "npm oracles skipped: " << vt_reason_; \
  } while (0)
