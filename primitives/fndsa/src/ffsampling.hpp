// Fast Fourier sampling: a lattice point close to a target, drawn over
// the tree of LDL* decompositions of the Gram matrix (everything in FFT
// form).
#pragma once

#include "gauss.hpp"

namespace fndsa::detail {

// (t0, t1) is the target, replaced by the sampled integer vector (FFT form);
// g00, g01, g11 is the Gram matrix, destroyed. tmp holds 4 n doubles.
void ff_sample(GaussSampler& gs, unsigned logn, double* t0, double* t1, double* g00, double* g01, double* g11,
               double* tmp) noexcept;

}  // namespace fndsa::detail
