// Drawing the short polynomials f and g, and the two size tests a candidate
// pair must pass before the NTRU equation is attempted.
#pragma once

#include <cstdint>

#include "internal.hpp"

namespace fndsa::kgen {

// 512 coefficients of a discrete Gaussian, the last redrawn until the sum
// of all of them is odd.
void sample_short(detail::ShakePrng& rng, int8_t* f) noexcept;

// ||(f, g)||^2 below 16823 (the bound 1.17^2 q, rounded down).
bool small_norm(const int8_t* f, const int8_t* g) noexcept;

// The other half of the Gram-Schmidt basis, (q adj f, q adj g) / (f adj f +
// g adj g), also short: squared norm below 1.17^2 q, in fixed point.
bool small_orthogonal_norm(const int8_t* f, const int8_t* g) noexcept;

}  // namespace fndsa::kgen
