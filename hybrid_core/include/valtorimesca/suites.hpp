// The four stateless suites: the compile-time binding of each to its two
// components and its label (codes and labels are in suite_code.hpp).
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
#include "valtorimesca/suite_code.hpp"

namespace valtorimesca {

// A stateless suite: its two components and its label (zero byte included).
template <class S>
concept HybridSuite = requires {
  typename S::Classical;
  typename S::Pq;
  { S::label() } -> std::same_as<std::span<const uint8_t>>;
}
&&component::ClassicalScheme<typename S::Classical>&& component::PqScheme<typename S::Pq>;

}  // namespace valtorimesca

namespace valtorimesca::suites {

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
// its signatures and proofs carry a delta byte (composite.hpp).
template <class S>
concept DeltaSuite = HybridSuite<S> && std::same_as<typename S::Pq, pq::falcon::Falcon512>;

static_assert(DeltaSuite<suites::EdFn512> && DeltaSuite<suites::SrFn512> && !DeltaSuite<suites::EdMl44> &&
              !DeltaSuite<suites::SrMl44>);

}  // namespace valtorimesca
