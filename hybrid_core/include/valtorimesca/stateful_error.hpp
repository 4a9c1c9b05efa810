// Failure kinds of stateful and few-time signing.
#pragma once

#include <cstdint>

#include "valtorimesca/result.hpp"

namespace valtorimesca::stateful {

// The suite ABI maps each kind to its code by name (from_sign), so the
// order of declaration carries no meaning.
enum class StatefulSignError : uint8_t {
  LeavesExhausted,
  GrindAbort,
  JournalFailed,
  CountersDiverged,
  JournalKeyMismatch,
  StatelessBudgetExhausted,
  BudgetStoreFailed,
  SigningFailed,
};

template <class T>
using SignResult = Result<T, StatefulSignError>;

}  // namespace valtorimesca::stateful
