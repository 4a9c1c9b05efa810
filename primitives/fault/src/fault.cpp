#include "fault/fault.hpp"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

namespace fault {

void report(const std::string& msg, const SourceLocation& loc) noexcept {
  char name[32] = {0};
  const char* shown = "<unnamed>";
  if (static_cast<long>(getpid()) == syscall(SYS_gettid)) {
    shown = "main";
  } else if (pthread_getname_np(pthread_self(), name, sizeof name) == 0 && name[0] != 0) {
    shown = name;
  }
  std::fprintf(stderr, "\nthread '%s' panicked at %s:%u:%u:\n%s\n", shown, loc.file_name(),
               static_cast<unsigned>(loc.line()), static_cast<unsigned>(loc.column()), msg.c_str());
  std::fflush(stderr);
}

void raise(const std::string& msg, const SourceLocation& loc) {
  report(msg, loc);
  throw InternalFault(msg);
}

}  // namespace fault
