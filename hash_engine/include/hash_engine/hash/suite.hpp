// The engine's hash interface. One implementation, Keccak-256 over part lists.
#pragma once

#include <concepts>

#include "hash_engine/hash/ops.hpp"

namespace hash::suite {

namespace keccak {
inline Digest scheme_hash_parts(std::span<const Part> parts) noexcept { return ops::keccak_packed(parts); }
inline Digest scheme_hash_parts(std::initializer_list<Part> parts) noexcept { return ops::keccak_packed(parts); }
}  // namespace keccak

template <class S>
concept HashSuite = requires(std::span<const Part> parts) {
  { S::scheme_hash_parts(parts) } -> std::same_as<Digest>;
};

struct Keccak256Suite {
  static Digest scheme_hash_parts(std::span<const Part> parts) noexcept { return keccak::scheme_hash_parts(parts); }
  static Digest scheme_hash_parts(std::initializer_list<Part> parts) noexcept {
    return keccak::scheme_hash_parts(parts);
  }
};
static_assert(HashSuite<Keccak256Suite>);

}  // namespace hash::suite
