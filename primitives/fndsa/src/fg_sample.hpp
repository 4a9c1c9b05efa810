// Drawing the short polynomials f and g, and the two size tests a candidate
// pair must pass before the NTRU equation is attempted.
#pragma once

#include <cstdint>

#include "internal.hpp"

namespace fndsa::kgen {

// 512 coefficients of a discrete Gaussian, the last redrawn until the sum
// of all of them is odd.
void sample_short(detail::ShakePrng& rng, int8_t* f) noexcept;

// ||(f, g)||^2 below 1.17^2 q = 16822.41; the sum is an integer, so the
// test is s < 16823.
bool small_norm(const int8_t* f, const int8_t* g) noexcept;

// The other half of the Gram-Schmidt basis, (q adj f, q adj g) / (f adj f +
// g adj g), also short: squared norm below (0.999 * 1.17)^2 q = 16788.78,
// computed in fixed point. The 0.999 shrinks the bound 1.17^2 q = 16822.41
// by a margin for the rounding of the fixed-point computation, so that no
// pair whose exact norm exceeds 1.17^2 q is accepted. It is fn-dsa's bound:
// another one would accept other pairs and so derive other keys.
bool small_orthogonal_norm(const int8_t* f, const int8_t* g) noexcept;

}  // namespace fndsa::kgen
