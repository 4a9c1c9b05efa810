// Internal faults: a broken invariant or a failing system resource. The fault
// is reported on standard error and then thrown as InternalFault, which only
// the Python binding layer catches (it becomes PanicException there).
#pragma once

#include <exception>
#include <source_location>
#include <string>

namespace fault {

class InternalFault : public std::exception {
 public:
  explicit InternalFault(std::string msg) : msg_(std::move(msg)) {}
  const char* what() const noexcept override { return msg_.c_str(); }
  const std::string& message() const noexcept { return msg_; }

 private:
  std::string msg_;
};

// Writes the report (thread name, source location, message) to stderr.
void report(const std::string& msg, const std::source_location& loc) noexcept;

// Reports and throws InternalFault.
[[noreturn]] void raise(const std::string& msg,
                        const std::source_location& loc = std::source_location::current());

// Checks an invariant; a false condition is an internal fault.
inline void check(bool cond, const char* msg,
                  const std::source_location& loc = std::source_location::current()) {
  if (!cond) raise(msg, loc);
}

}  // namespace fault
