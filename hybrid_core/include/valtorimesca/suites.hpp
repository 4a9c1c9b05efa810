// The six suites: their codes, their labels (each used with its terminating
// zero byte) and, for the four stateless ones, the compile-time binding of
// their two components.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/pq/falcon.hpp"
#include "valtorimesca/pq/mldsa44.hpp"

namespace valtorimesca {

// A stateless suite: its two components and its label (zero byte included).
template <class S>
concept HybridSuite = requires {
  typename S::Classical;
  typename S::Pq;
  { S::label() } -> std::same_as<std::span<const uint8_t>>;
} && component::ClassicalScheme<typename S::Classical> && component::PqScheme<typename S::Pq>;

}  // namespace valtorimesca

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

struct EdMl44 {
  using Classical = classical::ed25519::Ed25519;
  using Pq = pq::mldsa44::MlDsa44;
  static std::span<const uint8_t> label() { return label_bytes(kLabelEdMl44); }
};
struct EdFn512 {
  using Classical = classical::ed25519::Ed25519;
  using Pq = pq::falcon::Falcon512;
  static std::span<const uint8_t> label() { return label_bytes(kLabelEdFn512); }
};
struct SrMl44 {
  using Classical = classical::sr25519::Sr25519;
  using Pq = pq::mldsa44::MlDsa44;
  static std::span<const uint8_t> label() { return label_bytes(kLabelSrMl44); }
};
struct SrFn512 {
  using Classical = classical::sr25519::Sr25519;
  using Pq = pq::falcon::Falcon512;
  static std::span<const uint8_t> label() { return label_bytes(kLabelSrFn512); }
};

static_assert(HybridSuite<EdMl44> && HybridSuite<EdFn512> && HybridSuite<SrMl44> && HybridSuite<SrFn512>);

}  // namespace valtorimesca::suites

namespace valtorimesca {

// A stateless suite whose post-quantum signatures vary in length (FN-DSA):
// its signatures and proofs carry the delta byte of composite_delta.
template <class S>
concept DeltaSuite = HybridSuite<S> && std::same_as<typename S::Pq, pq::falcon::Falcon512>;

static_assert(DeltaSuite<suites::EdFn512> && DeltaSuite<suites::SrFn512> && !DeltaSuite<suites::EdMl44> &&
              !DeltaSuite<suites::SrMl44>);

}  // namespace valtorimesca
