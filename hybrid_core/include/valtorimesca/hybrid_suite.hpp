// The compile-time binding of a stateless suite: its two components and its
// label (zero byte included).
#pragma once

#include <concepts>
#include <cstdint>
#include <span>

#include "valtorimesca/component.hpp"

namespace valtorimesca {

template <class S>
concept HybridSuite = requires {
  typename S::Classical;
  typename S::Pq;
  { S::label() } -> std::same_as<std::span<const uint8_t>>;
} && component::ClassicalScheme<typename S::Classical> && component::PqScheme<typename S::Pq>;

}  // namespace valtorimesca
