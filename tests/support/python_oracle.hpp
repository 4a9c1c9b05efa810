// Runs a Python oracle script of the source tree (path relative to it) under
// /usr/bin/python3: the JSON list of requests on its standard input, the JSON
// list of answers, one per request, on its standard output. Any failure to
// run it (no interpreter, a missing module, a crash, a malformed answer)
// throws, so the calling test fails.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace vt_test {

nlohmann::json run_python_oracle(const std::string& script, const nlohmann::json& requests);

}  // namespace vt_test
