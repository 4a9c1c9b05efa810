// Solving the NTRU equation f G - g F = q over Z[X]/(X^512 + 1).
//
// The field norm N(a)(X^2) = a(X) a(-X) maps Z[X]/(X^n + 1) to
// Z[X]/(X^(n/2) + 1). Applied nine times to f and g it ends in two integers,
// for which the equation is a Bezout relation. Going back up, a solution
// (F', G') one level down lifts to F = F'(X^2) g(-X), G = G'(X^2) f(-X),
// which Babai's rounding then shortens against (f, g). Only F is carried
// through the levels; G follows from the equation at the top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ntru_sizes.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::kgen {

// Heap words for secret intermediate values, wiped before release.
using Words = zeroize::SecretVector<uint32_t>;

// The field norms of f and g at every depth, big coefficients in the sizes
// of kNormLimbs.
class NormTower {
 public:
  NormTower();
  // Fills the tower from f and g (degree 512, small coefficients).
  void build(const int8_t* f, const int8_t* g) noexcept;
  const uint32_t* f(unsigned d) const noexcept { return store_.data() + offset_[d]; }
  const uint32_t* g(unsigned d) const noexcept { return store_.data() + offset_[d] + half_[d]; }

 private:
  uint32_t* f_mut(unsigned d) noexcept { return store_.data() + offset_[d]; }
  uint32_t* g_mut(unsigned d) noexcept { return store_.data() + offset_[d] + half_[d]; }
  Words store_;
  size_t offset_[kDepth + 1];
  size_t half_[kDepth + 1];
};

// F for the two integers at the bottom (times q); false (a rejection)
// unless both are odd and coprime.
bool solve_bottom(const NormTower& t, uint32_t* F) noexcept;
// Lifts F from depth d + 1 to depth d (1 <= d <= 8) and reduces it; false
// when the reduced F does not fit.
bool lift_and_reduce(const NormTower& t, unsigned d, const uint32_t* F_below, uint32_t* F) noexcept;
// The last level: F and G of degree 512 with coefficients in [-127, 127].
bool finish_top(const int8_t* f, const int8_t* g, const uint32_t* F_below, int8_t* F, int8_t* G) noexcept;

// The whole solver; false is a rejection of (f, g).
bool solve_ntru(const int8_t* f, const int8_t* g, int8_t* F, int8_t* G) noexcept;

}  // namespace fndsa::kgen
