// Sizes, in 31-bit limbs, of the integers met while solving the NTRU
// equation for n = 512. Depth d works in Z[X]/(X^(512 >> d) + 1): f_d and
// g_d are the field norms of f and g taken d times.
//  - kNormLimbs[d]: a coefficient of f_d or g_d (also of the reduced F_d);
//  - kLiftLimbs[d]: a coefficient of F_{d+1}(X^2) g_d(-X), before reduction;
//  - kTopLimbs[d]: the leading limbs of f_d read into fixed point.
// These are upper bounds on the coefficient sizes with a safety margin
// (they fix how many primes each step uses, hence the outputs).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fndsa::kgen {

inline constexpr unsigned kDepth = 9;  // log2(512)
inline constexpr size_t kNormLimbs[kDepth + 1] = {1, 1, 2, 3, 4, 8, 14, 27, 53, 104};
inline constexpr size_t kLiftLimbs[kDepth] = {1, 2, 3, 6, 11, 21, 40, 78, 155};
inline constexpr size_t kTopLimbs[kDepth] = {1, 1, 2, 2, 2, 3, 3, 4, 5};
// Bits removed from F per round of Babai reduction.
inline constexpr uint32_t kReductionStep = 9;
// Below this degree the products k f are computed term by term.
inline constexpr size_t kSchoolbookMaxDegree = 16;

// How many primes the steps at depth d use with transforms of size
// 512 >> d: the field norms one level down, the lifted F and the
// products k f (two limbs more than f_d).
constexpr size_t primes_at_depth(unsigned d) noexcept {
  size_t k = kNormLimbs[d + 1];
  if (d >= 1) {
    if (kLiftLimbs[d] > k) k = kLiftLimbs[d];
    if (kNormLimbs[d] + 2 > k) k = kNormLimbs[d] + 2;
  }
  return k;
}

}  // namespace fndsa::kgen
