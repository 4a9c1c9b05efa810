// Failure kinds of stateful and few-time signing.
#pragma once

#include <cstdint>

#include "valtorimesca/result.hpp"

namespace valtorimesca::stateful {

// The eight kinds; the suite ABI maps each to the error code of the same
// name, so the order carries no meaning for the mapping.
#define VALTORIMESCA_STATEFUL_SIGN_ERRORS(X) \
  X(LeavesExhausted)                         \
  X(GrindAbort)                              \
  X(JournalFailed)                           \
  X(CountersDiverged)                        \
  X(JournalKeyMismatch)                      \
  X(StatelessBudgetExhausted)                \
  X(BudgetStoreFailed)                       \
  X(SigningFailed)

enum class StatefulSignError : uint8_t {
#define VT_STATEFUL_SIGN_ERROR_KIND(name) name,
  VALTORIMESCA_STATEFUL_SIGN_ERRORS(VT_STATEFUL_SIGN_ERROR_KIND)
#undef VT_STATEFUL_SIGN_ERROR_KIND
};

template <class T>
using SignResult = Result<T, StatefulSignError>;

}  // namespace valtorimesca::stateful
