// Diagnostic trace of few-time stateless signing on standard output, switched
// by SHRINCS_TRACE_STATELESS ("1", "on", "yes" or "true") and paced by
// SHRINCS_TRACE_COUNTER_EVERY (progress interval of the FORS+C counter search).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trace_macros {

inline constexpr uint32_t kDefaultCounterEvery = 1u << 20;

bool stateless_trace_enabled() noexcept;
uint32_t stateless_trace_counter_every() noexcept;
// Writes "stateless trace: " ‖ text ‖ newline when the trace is on.
void stateless_trace(std::string_view text);
// Writes "stateless trace: " ‖ text ‖ newline whether or not the trace is
// on: the caller tests stateless_trace_enabled() first (as
// stateless_trace_with does, which formats its text only when the trace is on).
void write_line(std::string_view text);

template <class Format>
void stateless_trace_with(Format&& format) {
  if (stateless_trace_enabled()) write_line(format());
}

}  // namespace trace_macros
