// The one-byte error codes of the suite ABI, their messages and the maps
// from the core's error kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "valtorimesca/error.hpp"
#include "valtorimesca/result.hpp"
#include "valtorimesca/stateful_error.hpp"

namespace valtorimesca_abi {

enum class AbiError : uint8_t {
  BadLength = 1,
  ContextTooLong = 2,
  OutputBufferTooSmall = 3,
  // 4 is unassigned.
  BadPathSelector = 5,
  LeafCountOutOfRange = 6,
  TrailingBytes = 7,
  ComponentFailure = 8,
  BadRotationKind = 9,
  DeltaLengthOutOfRange = 10,
  LeavesExhausted = 11,
  GrindAbort = 12,
  JournalFailed = 13,
  SigningFailed = 14,
  InvalidSuite = 15,
  WrongEntryPointForSuite = 16,
  CountersDiverged = 17,
  JournalKeyMismatch = 18,
  StatelessBudgetExhausted = 19,
  BudgetStoreFailed = 20,
  InvalidMnemonic = 21,
};

inline constexpr uint8_t code(AbiError e) noexcept { return static_cast<uint8_t>(e); }

// True for 1-3 and 5-21.
bool is_valid_code(uint8_t c) noexcept;

// The fixed message of a code (the display of an AbiError).
std::string_view message(AbiError e) noexcept;
// The variant name, e.g. "BadLength".
std::string_view variant_name(AbiError e) noexcept;

AbiError from_core(const valtorimesca::CoreError& e) noexcept;
AbiError from_sign(valtorimesca::stateful::StatefulSignError e) noexcept;

template <class T>
using AbiResult = valtorimesca::Result<T, AbiError>;
using AbiStatus = valtorimesca::Result<void, AbiError>;

inline valtorimesca::Err<AbiError> abi_fail(AbiError e) { return valtorimesca::Err<AbiError>{e}; }

// A core result passed up: its value kept, its error kind mapped.
template <class T>
AbiResult<T> from_core(const valtorimesca::CoreResult<T>& r) {
  if (r) return *r;
  return abi_fail(from_core(r.error()));
}
inline AbiStatus from_core(const valtorimesca::CoreStatus& s) {
  if (s) return {};
  return abi_fail(from_core(s.error()));
}
// A core success that stands for `written` bytes of output.
inline AbiResult<size_t> from_core(const valtorimesca::CoreStatus& s, size_t written) {
  if (s) return written;
  return abi_fail(from_core(s.error()));
}

}  // namespace valtorimesca_abi
