// tests/seeds/oracle.py on a batch of requests (see python_oracle.hpp).
#pragma once

#include "python_oracle.hpp"

namespace seeds_test {

inline nlohmann::json run_oracle(const nlohmann::json& requests) {
  return vt_test::run_python_oracle("tests/seeds/oracle.py", requests);
}

}  // namespace seeds_test
