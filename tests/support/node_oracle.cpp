#include "node_oracle.hpp"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vt_test {

namespace fs = std::filesystem;

fs::path oracle_dir() {
  const char* src = std::getenv("VT_SOURCE_DIR");
  if (src == nullptr || src[0] == '\0') throw std::runtime_error("VT_SOURCE_DIR is not set");
  return fs::path(src) / "tests" / "oracles";
}

std::string oracle_skip_reason() {
  const char* reason = std::getenv("VT_ORACLES_SKIP");
  return reason != nullptr ? reason : "";
}

std::string run_node_oracle(const std::string& script, const std::string& input) {
  const fs::path dir = oracle_dir();
  if (!fs::is_directory(dir / "node_modules"))
    throw std::runtime_error(dir.string() + "/node_modules is missing: run `npm ci` in tests/oracles");
  static int calls = 0;
  const fs::path work =
      fs::temp_directory_path() / ("vt_oracle_" + std::to_string(::getpid()) + "_" + std::to_string(++calls));
  fs::create_directories(work);
  const fs::path in = work / "in", out = work / "out";
  std::ofstream(in) << input;
  const std::string cmd = "node '" + (dir / script).string() + "' '" + in.string() + "' '" + out.string() + "'";
  const int rc = std::system(cmd.c_str());
  std::ostringstream answer;
  answer << std::ifstream(out).rdbuf();
  std::error_code ec;
  fs::remove_all(work, ec);
  if (rc != 0) throw std::runtime_error("oracle script failed: " + cmd);
  return answer.str();
}

}  // namespace vt_test
