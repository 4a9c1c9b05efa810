// The integer Gaussian sampler of signing: draws z from the discrete
// Gaussian of centre mu and standard deviation sigma' (given as 1/sigma'),
// for sigma' between sigma_min and 1.8205, out of a SHAKE256 stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "internal.hpp"

namespace fndsa::detail {

class GaussSampler {
 public:
  GaussSampler(const uint8_t* seed, size_t len) noexcept : rng_(seed, len) {}
  ShakePrng& stream() noexcept { return rng_; }
  int32_t sample(double mu, double inv_sigma) noexcept;

 private:
  ShakePrng rng_;
};

}  // namespace fndsa::detail
