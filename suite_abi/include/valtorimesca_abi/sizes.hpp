// Byte lengths of every suite's keys, signatures and VRF proofs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "valtorimesca/suite_code.hpp"

namespace valtorimesca_abi {

using valtorimesca::suites::SuiteCode;

// Byte slices in and caller-owned output buffers.
using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;
using Seed32 = std::array<uint8_t, 32>;

struct SuiteSizes {
  size_t secret_key;
  size_t public_key;
  size_t stored_public_key;
  size_t signature;  // the largest signature
  size_t vrf_proof;  // the largest proof
};

inline constexpr size_t kSeedLen = 32;
inline constexpr size_t kKeyIdentityLen = 32;

constexpr SuiteSizes sizes(SuiteCode c) noexcept {
  switch (c) {
    case SuiteCode::ED_ML_44: return {2624, 1344, 1344, 2484, 2500};
    case SuiteCode::ED_FN_512: return {1409, 929, 929, 731, 747};
    case SuiteCode::SR_ML_44: return {2624, 1344, 1344, 2484, 2516};
    case SuiteCode::SR_FN_512: return {1409, 929, 929, 731, 763};
    case SuiteCode::ED_SH: return {496, 196, 64, 133225, 29172};
    case SuiteCode::SR_SH: return {496, 196, 64, 133225, 29188};
  }
  return {0, 0, 0, 0, 0};
}

constexpr size_t signature_len(SuiteCode c) noexcept { return sizes(c).signature; }

}  // namespace valtorimesca_abi
