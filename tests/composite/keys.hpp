// A stateless suite's key pair from a master seed, for tests written over
// all four suites: the ML-DSA suites through `composite`, the FN-DSA ones
// through `composite_delta`.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "valtorimesca/composite.hpp"
#include "valtorimesca/composite_delta.hpp"

namespace vt_test {

template <class S>
void composite_keypair(const std::array<uint8_t, 32>& seed, std::vector<uint8_t>& sk, std::vector<uint8_t>& pk) {
  namespace core = valtorimesca;
  sk.assign(core::composite::Lengths<S>::kSecretKey, 0);
  pk.assign(core::composite::Lengths<S>::kPublicKey, 0);
  core::CoreStatus r;
  if constexpr (core::DeltaSuite<S>)
    r = core::composite_delta::keypair_from_seed<S>(seed, sk, pk);
  else
    r = core::composite::keypair_from_seed<S>(seed, sk, pk);
  ASSERT_TRUE(r.ok());
}

}  // namespace vt_test
