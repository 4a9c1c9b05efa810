#include "python_oracle.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace vt_test {

nlohmann::json run_python_oracle(const std::string& script, const nlohmann::json& requests) {
  const char* src = std::getenv("VT_SOURCE_DIR");
  if (src == nullptr) throw std::runtime_error("VT_SOURCE_DIR is not set");
  char in_path[] = "/tmp/vt_python_oracle_XXXXXX";
  int fd = mkstemp(in_path);
  if (fd < 0) throw std::runtime_error("cannot create a temporary file");
  close(fd);
  {
    std::ofstream f(in_path);
    f << requests.dump();
  }
  std::string cmd = std::string("/usr/bin/python3 ") + src + "/" + script + " < " + in_path;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) {
    std::remove(in_path);
    throw std::runtime_error("cannot start the oracle");
  }
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  std::remove(in_path);
  if (status != 0) throw std::runtime_error("oracle failed: " + cmd);
  auto answers = nlohmann::json::parse(out);
  if (!answers.is_array() || answers.size() != requests.size())
    throw std::runtime_error("oracle gave a malformed answer");
  return answers;
}

}  // namespace vt_test
