#include "hash_engine/trace_macros.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fault/fault.hpp"

namespace trace_macros {

bool stateless_trace_enabled() noexcept {
  const char* v = std::getenv("SHRINCS_TRACE_STATELESS");
  if (v == nullptr) return false;
  return std::strcmp(v, "1") == 0 || std::strcmp(v, "on") == 0 || std::strcmp(v, "yes") == 0 ||
         std::strcmp(v, "true") == 0;
}

uint32_t stateless_trace_counter_every() noexcept {
  const char* v = std::getenv("SHRINCS_TRACE_COUNTER_EVERY");
  if (v == nullptr) return kDefaultCounterEvery;
  const char* p = v;
  if (*p == '+') ++p;
  if (*p == '\0') return kDefaultCounterEvery;
  uint64_t n = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return kDefaultCounterEvery;
    n = n * 10 + uint64_t(*p - '0');
    if (n > 0xffffffffULL) return kDefaultCounterEvery;
  }
  return n == 0 ? kDefaultCounterEvery : uint32_t(n);
}

void write_line(std::string_view text) {
  std::string line = "stateless trace: ";
  line.append(text);
  line.push_back('\n');
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0)
    fault::raise("cannot write the stateless trace to standard output");
}

void stateless_trace(std::string_view text) {
  if (stateless_trace_enabled()) write_line(text);
}

}  // namespace trace_macros
