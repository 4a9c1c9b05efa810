// The one-byte error codes of the suite ABI, their messages and the maps
// from the core's error kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "valtorimesca/error.hpp"
#include "valtorimesca/result.hpp"
#include "valtorimesca/stateful_error.hpp"
#include "valtorimesca_abi/error_table.hpp"

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
