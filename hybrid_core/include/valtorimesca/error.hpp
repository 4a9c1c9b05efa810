// The core's error: one of twelve kinds, some with diagnostic payloads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "valtorimesca/result.hpp"

// The twelve kinds in their fixed order; the suite ABI maps each to the
// error code of the same name.
#define VALTORIMESCA_CORE_ERROR_KINDS(X) \
  X(BadLength)                           \
  X(ContextTooLong)                      \
  X(OutputBufferTooSmall)                \
  X(BadPathSelector)                     \
  X(LeafCountOutOfRange)                 \
  X(TrailingBytes)                       \
  X(ComponentFailure)                    \
  X(BadRotationKind)                     \
  X(DeltaLengthOutOfRange)               \
  X(StatelessBudgetExhausted)            \
  X(BudgetStoreFailed)                   \
  X(InvalidMnemonic)

namespace valtorimesca {

struct CoreError {
  enum class Kind : uint8_t {
#define VT_CORE_ERROR_KIND(name) name,
    VALTORIMESCA_CORE_ERROR_KINDS(VT_CORE_ERROR_KIND)
#undef VT_CORE_ERROR_KIND
  };

  Kind kind;
  // BadLength / TrailingBytes: expected, got. OutputBufferTooSmall: needed,
  // got. LeafCountOutOfRange: declared, max. BadPathSelector: the selector in a.
  size_t a = 0;
  size_t b = 0;

  static CoreError bad_length(size_t expected, size_t got) { return {Kind::BadLength, expected, got}; }
  static CoreError context_too_long() { return {Kind::ContextTooLong}; }
  static CoreError output_buffer_too_small(size_t needed, size_t got) {
    return {Kind::OutputBufferTooSmall, needed, got};
  }
  static CoreError bad_path_selector(uint8_t sel) { return {Kind::BadPathSelector, sel}; }
  static CoreError leaf_count_out_of_range(uint32_t declared, uint32_t max) {
    return {Kind::LeafCountOutOfRange, declared, max};
  }
  static CoreError trailing_bytes(size_t expected, size_t got) { return {Kind::TrailingBytes, expected, got}; }
  static CoreError component_failure() { return {Kind::ComponentFailure}; }
  static CoreError bad_rotation_kind() { return {Kind::BadRotationKind}; }
  static CoreError delta_length_out_of_range() { return {Kind::DeltaLengthOutOfRange}; }
  static CoreError stateless_budget_exhausted() { return {Kind::StatelessBudgetExhausted}; }
  static CoreError budget_store_failed() { return {Kind::BudgetStoreFailed}; }
  static CoreError invalid_mnemonic() { return {Kind::InvalidMnemonic}; }

  size_t expected() const { return a; }
  size_t needed() const { return a; }
  size_t got() const { return b; }

  bool operator==(const CoreError& o) const = default;
};

template <class T>
using CoreResult = Result<T, CoreError>;
using CoreStatus = Result<void, CoreError>;

inline Err<CoreError> fail(CoreError e) { return Err<CoreError>{e}; }

}  // namespace valtorimesca
