// The core's error: one of twelve kinds, some with diagnostic payloads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "valtorimesca/result.hpp"

namespace valtorimesca {

struct CoreError {
  // The suite ABI maps each kind to its code by name (from_core), so the
  // order of the kinds here carries no meaning.
  enum class Kind : uint8_t {
    BadLength,
    ContextTooLong,
    OutputBufferTooSmall,
    BadPathSelector,
    LeafCountOutOfRange,
    TrailingBytes,
    ComponentFailure,
    BadRotationKind,
    DeltaLengthOutOfRange,
    StatelessBudgetExhausted,
    BudgetStoreFailed,
    InvalidMnemonic,
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
