// The two stateful suites as compile-time bindings: a classical component,
// SHRINCS as the post-quantum half, and the 31-byte suite label (zero byte
// included).
#pragma once

#include <concepts>
#include <span>

#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/suite_code.hpp"

namespace valtorimesca::shrincs {

struct EdSh {
  using Classical = classical::ed25519::Ed25519;
  static constexpr suites::SuiteCode kCode = suites::SuiteCode::ED_SH;
  static std::span<const uint8_t> label() { return suites::label_bytes(suites::kLabelEdSh); }
};

struct SrSh {
  using Classical = classical::sr25519::Sr25519;
  static constexpr suites::SuiteCode kCode = suites::SuiteCode::SR_SH;
  static std::span<const uint8_t> label() { return suites::label_bytes(suites::kLabelSrSh); }
};

template <class S>
concept StatefulSuite = (std::same_as<S, EdSh> ||
                         std::same_as<S, SrSh>)&&component::ClassicalScheme<typename S::Classical>;

}  // namespace valtorimesca::shrincs
