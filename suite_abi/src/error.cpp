#include "valtorimesca_abi/error.hpp"

namespace valtorimesca_abi {

bool is_valid_code(uint8_t c) noexcept { return c >= 1 && c <= 21 && c != 4; }

std::string_view message(AbiError e) noexcept {
  switch (e) {
    case AbiError::BadLength: return "a byte string had the wrong length";
    case AbiError::ContextTooLong: return "the application context exceeded 255 bytes";
    case AbiError::OutputBufferTooSmall: return "the output buffer was too small";
    case AbiError::BadPathSelector: return "the signature carried an unknown path selector";
    case AbiError::LeafCountOutOfRange: return "the declared leaf count was out of range";
    case AbiError::TrailingBytes: return "the signature carried trailing bytes";
    case AbiError::ComponentFailure: return "a component algorithm failed";
    case AbiError::BadRotationKind: return "the rotation payload carried an unknown rotation kind";
    case AbiError::DeltaLengthOutOfRange: return "the delta-encoded signature length was out of range";
    case AbiError::LeavesExhausted: return "the key's one-time leaf budget is spent; rotate the key";
    case AbiError::GrindAbort: return "the randomizer grind bound was reached for this key and message";
    case AbiError::JournalFailed: return "the leaf journal could not durably commit";
    case AbiError::SigningFailed: return "signing failed";
    case AbiError::InvalidSuite: return "the suite code or name is not one of ED-ML-44 through SR-SH";
    case AbiError::WrongEntryPointForSuite: return "this entry point does not accept this suite";
    case AbiError::CountersDiverged:
      return "the key counter and leaf journal diverged; this key can sign no more, rotate it";
    case AbiError::JournalKeyMismatch:
      return "this leaf journal does not belong to this key; reopen the key's own journal";
    case AbiError::StatelessBudgetExhausted:
      return "the few-time stateless budget for this key's stateless material is spent";
    case AbiError::BudgetStoreFailed: return "the stateless budget store could not durably record; nothing consumed";
    case AbiError::InvalidMnemonic: return "not a valid English BIP39 mnemonic phrase";
  }
  return "";
}

std::string_view variant_name(AbiError e) noexcept {
  switch (e) {
    case AbiError::BadLength: return "BadLength";
    case AbiError::ContextTooLong: return "ContextTooLong";
    case AbiError::OutputBufferTooSmall: return "OutputBufferTooSmall";
    case AbiError::BadPathSelector: return "BadPathSelector";
    case AbiError::LeafCountOutOfRange: return "LeafCountOutOfRange";
    case AbiError::TrailingBytes: return "TrailingBytes";
    case AbiError::ComponentFailure: return "ComponentFailure";
    case AbiError::BadRotationKind: return "BadRotationKind";
    case AbiError::DeltaLengthOutOfRange: return "DeltaLengthOutOfRange";
    case AbiError::LeavesExhausted: return "LeavesExhausted";
    case AbiError::GrindAbort: return "GrindAbort";
    case AbiError::JournalFailed: return "JournalFailed";
    case AbiError::SigningFailed: return "SigningFailed";
    case AbiError::InvalidSuite: return "InvalidSuite";
    case AbiError::WrongEntryPointForSuite: return "WrongEntryPointForSuite";
    case AbiError::CountersDiverged: return "CountersDiverged";
    case AbiError::JournalKeyMismatch: return "JournalKeyMismatch";
    case AbiError::StatelessBudgetExhausted: return "StatelessBudgetExhausted";
    case AbiError::BudgetStoreFailed: return "BudgetStoreFailed";
    case AbiError::InvalidMnemonic: return "InvalidMnemonic";
  }
  return "";
}

AbiError from_core(const valtorimesca::CoreError& e) noexcept {
  using K = valtorimesca::CoreError::Kind;
  switch (e.kind) {
    case K::BadLength: return AbiError::BadLength;
    case K::ContextTooLong: return AbiError::ContextTooLong;
    case K::OutputBufferTooSmall: return AbiError::OutputBufferTooSmall;
    case K::BadPathSelector: return AbiError::BadPathSelector;
    case K::LeafCountOutOfRange: return AbiError::LeafCountOutOfRange;
    case K::TrailingBytes: return AbiError::TrailingBytes;
    case K::ComponentFailure: return AbiError::ComponentFailure;
    case K::BadRotationKind: return AbiError::BadRotationKind;
    case K::DeltaLengthOutOfRange: return AbiError::DeltaLengthOutOfRange;
    case K::StatelessBudgetExhausted: return AbiError::StatelessBudgetExhausted;
    case K::BudgetStoreFailed: return AbiError::BudgetStoreFailed;
    case K::InvalidMnemonic: return AbiError::InvalidMnemonic;
  }
  return AbiError::ComponentFailure;
}

AbiError from_sign(valtorimesca::stateful::StatefulSignError e) noexcept {
  using S = valtorimesca::stateful::StatefulSignError;
  switch (e) {
    case S::LeavesExhausted: return AbiError::LeavesExhausted;
    case S::GrindAbort: return AbiError::GrindAbort;
    case S::JournalFailed: return AbiError::JournalFailed;
    case S::CountersDiverged: return AbiError::CountersDiverged;
    case S::JournalKeyMismatch: return AbiError::JournalKeyMismatch;
    case S::StatelessBudgetExhausted: return AbiError::StatelessBudgetExhausted;
    case S::BudgetStoreFailed: return AbiError::BudgetStoreFailed;
    case S::SigningFailed: return AbiError::SigningFailed;
  }
  return AbiError::SigningFailed;
}

}  // namespace valtorimesca_abi
