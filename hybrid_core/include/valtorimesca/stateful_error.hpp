// Failure kinds of stateful and few-time signing.
#pragma once

#include <cstdint>

#include "valtorimesca/result.hpp"

namespace valtorimesca::stateful {

// Declaration order matters: the suite ABI maps kinds by this order.
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
