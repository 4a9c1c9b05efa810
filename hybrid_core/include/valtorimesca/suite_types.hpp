// The four stateless suites as compile-time bindings of their components.
#pragma once

#include <span>

#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/hybrid_suite.hpp"
#include "valtorimesca/pq/falcon.hpp"
#include "valtorimesca/pq/mldsa44.hpp"
#include "valtorimesca/suites.hpp"

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
