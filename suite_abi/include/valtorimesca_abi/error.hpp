// The one-byte error codes of the suite ABI, their messages and the maps
// from the core's error kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "valtorimesca/error.hpp"
#include "valtorimesca/result.hpp"
#include "valtorimesca/stateful_error.hpp"

// Every error kind of the suite ABI is defined once, in the list below:
//
//   X(Variant, code, message, docstring)
//
// The variant names the `AbiError` value and, with "Error" appended, the
// module's exception class; the message is the display of the code and the
// only argument of the raised exception; the docstring is the class's
// documentation. `AbiError`, `message`, `variant_name`, `is_valid_code` and
// the binding's class table are all made from it. Code 4 is unassigned and
// has no row.
#define VALTORIMESCA_ABI_ERRORS(X)                                                                                   \
  X(BadLength, 1, "a byte string had the wrong length", "A byte string had the wrong length.")                       \
  X(ContextTooLong, 2, "the application context exceeded 255 bytes", "The application context exceeded 255 bytes.")  \
  X(OutputBufferTooSmall, 3, "the output buffer was too small",                                                      \
    "An internal output buffer was too small for this signature.")                                                   \
  X(BadPathSelector, 5, "the signature carried an unknown path selector",                                            \
    "A path-selected signature (ED_SH/SR_SH) carried an unknown selector.")                                          \
  X(LeafCountOutOfRange, 6, "the declared leaf count was out of range",                                              \
    "A stateful signature's declared leaf count was out of range.")                                                  \
  X(TrailingBytes, 7, "the signature carried trailing bytes", "Bytes remained past the length an encoding implied.") \
  X(ComponentFailure, 8, "a component algorithm failed",                                                             \
    "A component algorithm (the classical or post-quantum primitive) failed.")                                       \
  X(BadRotationKind, 9, "the rotation payload carried an unknown rotation kind",                                     \
    "A rotation payload carried an unknown rotation kind.")                                                          \
  X(DeltaLengthOutOfRange, 10, "the delta-encoded signature length was out of range",                                \
    "A delta-encoded (ED_FN_512/SR_FN_512) signature's length was out of range.")                                    \
  X(LeavesExhausted, 11, "the key's one-time leaf budget is spent; rotate the key",                                  \
    "The key's one-time leaf budget is spent; rotate the key.")                                                      \
  X(GrindAbort, 12, "the randomizer grind bound was reached for this key and message",                               \
    "The signature-randomizer grind bound was reached for this key and message.")                                    \
  X(JournalFailed, 13, "the leaf journal could not durably commit",                                                  \
    "The leaf journal could not durably commit; nothing was spent.")                                                 \
  X(SigningFailed, 14, "signing failed", "Signing failed.")                                                          \
  X(InvalidSuite, 15, "the suite code or name is not one of ED-ML-44 through SR-SH",                                 \
    "The suite code or name is not one of the six suites.")                                                          \
  X(WrongEntryPointForSuite, 16, "this entry point does not accept this suite",                                      \
    "This entry point does not accept this suite.")                                                                  \
  X(CountersDiverged, 17, "the key counter and leaf journal diverged; this key can sign no more, rotate it",         \
    "The key counter and the leaf journal diverged; this key can sign no more, rotate it. "                          \
    "Repairing the counters by hand reissues a spent leaf, which destroys the key's security.")                      \
  X(JournalKeyMismatch, 18, "this leaf journal does not belong to this key; reopen the key's own journal",           \
    "This leaf journal does not belong to this key: it has never been bound to any key, or it "                      \
    "is bound to a different one. Nothing was spent and the key is intact -- unlike "                                \
    "CountersDivergedError, this is not a reason to rotate. Reopen the durable journal that "                        \
    "belongs to this key, or, if there genuinely is none, bind one explicitly with adopt_key().")                    \
  X(StatelessBudgetExhausted, 19, "the few-time stateless budget for this key's stateless material is spent",        \
    "The few-time stateless budget for this key's stateless material is spent. Nothing was "                         \
    "spent on the refused attempt. This is not the stateful path's leaf budget "                                     \
    "(LeavesExhaustedError) and it is not a quota to raise: exceeding it degrades the security "                     \
    "assumption of the underlying few-time scheme. It clears only when a rotation actually "                         \
    "changes the stateless key material.")                                                                           \
  X(BudgetStoreFailed, 20, "the stateless budget store could not durably record; nothing consumed",                  \
    "The stateless budget store could not durably record the spend, so no signature was "                            \
    "released. Nothing was recorded, so the same unit of budget is still available once the "                        \
    "storage fault is repaired.")                                                                                    \
  X(InvalidMnemonic, 21, "not a valid English BIP39 mnemonic phrase",                                                \
    "The recovery phrase is not a valid English BIP39 mnemonic: a wrong word count, an unknown "                     \
    "word, or a bad checksum. The three are not distinguished, because telling an attacker "                         \
    "which part of a guessed phrase was wrong narrows the search.")

namespace valtorimesca_abi {

// The codes of the error table, each under its variant name.
enum class AbiError : uint8_t {
#define VT_ABI_ERROR_VALUE(name, value, message, doc) name = value,
  VALTORIMESCA_ABI_ERRORS(VT_ABI_ERROR_VALUE)
#undef VT_ABI_ERROR_VALUE
};

inline constexpr uint8_t code(AbiError e) noexcept { return static_cast<uint8_t>(e); }

// True for the codes of the table: 1-3 and 5-21.
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

}  // namespace valtorimesca_abi
