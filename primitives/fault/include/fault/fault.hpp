// Internal faults: a broken invariant or a failing system resource. The fault
// is reported on standard error and then thrown as InternalFault, which only
// the Python binding layer catches (it becomes PanicException there).
#pragma once

#include <exception>
#include <string>
#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

namespace fault {

#if defined(__cpp_lib_source_location)
using SourceLocation = std::source_location;
#else
// The same interface from the compiler's builtins, for a standard library
// whose SourceLocation this compiler cannot build (clang 14 with
// libstdc++ 12).
class SourceLocation {
 public:
  static constexpr SourceLocation current(const char* file = __builtin_FILE(),
                                          const char* function = __builtin_FUNCTION(), unsigned line = __builtin_LINE(),
                                          unsigned column = __builtin_COLUMN()) noexcept {
    SourceLocation loc;
    loc.file_ = file;
    loc.function_ = function;
    loc.line_ = line;
    loc.column_ = column;
    return loc;
  }
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr const char* function_name() const noexcept { return function_; }
  constexpr unsigned line() const noexcept { return line_; }
  constexpr unsigned column() const noexcept { return column_; }

 private:
  const char* file_ = "";
  const char* function_ = "";
  unsigned line_ = 0;
  unsigned column_ = 0;
};
#endif

class InternalFault : public std::exception {
 public:
  explicit InternalFault(std::string msg) : msg_(std::move(msg)) {}
  const char* what() const noexcept override { return msg_.c_str(); }
  const std::string& message() const noexcept { return msg_; }

 private:
  std::string msg_;
};

// Writes the report (thread name, source location, message) to stderr.
void report(const std::string& msg, const SourceLocation& loc) noexcept;

// Reports and throws InternalFault.
[[noreturn]] void raise(const std::string& msg, const SourceLocation& loc = SourceLocation::current());

// Checks an invariant; a false condition is an internal fault.
inline void check(bool cond, const char* msg, const SourceLocation& loc = SourceLocation::current()) {
  if (!cond) raise(msg, loc);
}

}  // namespace fault
