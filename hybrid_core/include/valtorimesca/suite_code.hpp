// The six suites' one-byte codes and their labels (each used with its
// terminating zero byte). Names no component, so the size table, the suite
// ABI's headers and the binding can use the codes without the algorithms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace valtorimesca::suites {

enum class SuiteCode : uint8_t {
  ED_ML_44 = 1,
  ED_FN_512 = 2,
  SR_ML_44 = 3,
  SR_FN_512 = 4,
  ED_SH = 5,
  SR_SH = 6,
};

// Label bytes including the zero byte.
inline constexpr char kLabelEdMl44[] = "hybrid-ed25519-mldsa44-v1";
inline constexpr char kLabelEdFn512[] = "hybrid-ed25519-falcon512-v1";
inline constexpr char kLabelSrMl44[] = "hybrid-sr25519-mldsa44-v1";
inline constexpr char kLabelSrFn512[] = "hybrid-sr25519-falcon512-v1";
inline constexpr char kLabelEdSh[] = "hybrid-ed25519-shrincs-256s-v1";
inline constexpr char kLabelSrSh[] = "hybrid-sr25519-shrincs-256s-v1";

template <size_t N>
constexpr std::span<const uint8_t> label_bytes(const char (&s)[N]) noexcept {
  // sizeof includes the terminating zero byte, which is part of the label.
  return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s), N);
}

// The label of a suite code, zero byte included; empty for an unknown code.
std::span<const uint8_t> label_of(SuiteCode code) noexcept;

constexpr bool is_stateless(SuiteCode c) noexcept {
  return static_cast<uint8_t>(c) >= 1 && static_cast<uint8_t>(c) <= 4;
}
constexpr bool is_stateful(SuiteCode c) noexcept {
  return static_cast<uint8_t>(c) == 5 || static_cast<uint8_t>(c) == 6;
}

}  // namespace valtorimesca::suites
