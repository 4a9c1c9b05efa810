// Messages, names and the two maps of the error table: every switch here is
// made from the one list of kinds, so a kind is added or renamed in one place.
#include "valtorimesca_abi/error.hpp"

namespace valtorimesca_abi {

bool is_valid_code(uint8_t c) noexcept {
  switch (c) {
#define VT_ABI_ERROR_CASE(name, value, message, doc) case value:
    VALTORIMESCA_ABI_ERRORS(VT_ABI_ERROR_CASE)
#undef VT_ABI_ERROR_CASE
    return true;
  }
  return false;
}

std::string_view message(AbiError e) noexcept {
  switch (e) {
#define VT_ABI_ERROR_MESSAGE(name, value, text, doc) \
  case AbiError::name: return text;
    VALTORIMESCA_ABI_ERRORS(VT_ABI_ERROR_MESSAGE)
#undef VT_ABI_ERROR_MESSAGE
  }
  return "";
}

std::string_view variant_name(AbiError e) noexcept {
  switch (e) {
#define VT_ABI_ERROR_NAME(name, value, text, doc) \
  case AbiError::name: return #name;
    VALTORIMESCA_ABI_ERRORS(VT_ABI_ERROR_NAME)
#undef VT_ABI_ERROR_NAME
  }
  return "";
}

// Each core and signing kind becomes the code of the same name.
#define VT_SAME_NAMED_CODE(name) \
  case Kind::name: return AbiError::name;

AbiError from_core(const valtorimesca::CoreError& e) noexcept {
  using Kind = valtorimesca::CoreError::Kind;
  switch (e.kind) { VALTORIMESCA_CORE_ERROR_KINDS(VT_SAME_NAMED_CODE) }
  return AbiError::ComponentFailure;
}

AbiError from_sign(valtorimesca::stateful::StatefulSignError e) noexcept {
  using Kind = valtorimesca::stateful::StatefulSignError;
  switch (e) { VALTORIMESCA_STATEFUL_SIGN_ERRORS(VT_SAME_NAMED_CODE) }
  return AbiError::SigningFailed;
}

#undef VT_SAME_NAMED_CODE

}  // namespace valtorimesca_abi
