// Keccak-p[1600] on one state in general-purpose registers, compiled with
// -mbmi -mbmi2 so that rotations become rorx (no copy before the rotate) and
// chi's ~b & c becomes andn. Rounds run plane by plane between the state and
// a scratch array, the schedule that suits 16 registers best. Reached through
// the run-time dispatch once the processor probe reports BMI1 and BMI2.
#include "keccak_lanes.hpp"
#include "keccak_rounds.hpp"

namespace keccak {
namespace {

struct Scalar {
  using V = uint64_t;
  static V xor2(V a, V b) { return a ^ b; }
  static V xor3(V a, V b, V c) { return a ^ b ^ c; }
  static V chi(V a, V b, V c) { return a ^ (~b & c); }
  static V bcast(uint64_t v) { return v; }
  static V zero() { return 0; }
  static V loadu(const uint64_t* p) { return *p; }
  static void storeu(uint64_t* p, V v) { *p = v; }
  template <int N>
  static V rol(V x) {
    return (x << N) | (x >> (64 - N));
  }
};

}  // namespace

void permute1_bmi2(uint64_t* a) noexcept { rounds::permute_interleaved<Scalar>(a, round_constants()); }

}  // namespace keccak
