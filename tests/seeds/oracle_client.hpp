// Runs tests/seeds/oracle.py under /usr/bin/python3 on a batch of requests.
// Any failure to run it (no interpreter, no python3-mnemonic, a crash)
// throws, so the calling test fails.
#pragma once

#include <nlohmann/json.hpp>

namespace seeds_test {

nlohmann::json run_oracle(const nlohmann::json& requests);

}  // namespace seeds_test
