// Keccak-p[1600] on eight states at once with AVX-512F: one 512-bit register
// holds the same lane word of the eight states. Rotations use vprolq, theta's
// column parities and its update, and chi, use vpternlogq. Compiled with
// -mavx512f only; reached through the run-time dispatch after the CPU and OS
// have been checked.
#include <immintrin.h>

#include "keccak_lanes.hpp"
#include "keccak_rounds.hpp"

// GCC's AVX-512 headers start masked operations from a self-initialised
// "undefined" vector, which -Wuninitialized reports at every inlined vprolq.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace keccak {
namespace {

// Eight states whose lane word i of state k is at p[i * 8 + k].
struct Avx512 {
  using V = __m512i;
  uint64_t* p;

  // Truth tables over the operands (a, b, c) = (0xF0, 0xCC, 0xAA).
  static constexpr int kXor3 = 0x96;  // a ^ b ^ c
  static constexpr int kChi = 0xD2;   // a ^ (~b & c)

  V load(int i) const { return _mm512_loadu_si512(p + i * 8); }
  void store(int i, V v) const { _mm512_storeu_si512(p + i * 8, v); }
  static V xor2(V a, V b) { return _mm512_xor_si512(a, b); }
  static V xor3(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, kXor3); }
  static V chi(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, kChi); }
  static V bcast(uint64_t v) { return _mm512_set1_epi64(static_cast<long long>(v)); }
  template <int N>
  static V rol(V x) { return _mm512_rol_epi64(x, N); }
};

}  // namespace

void permute_lanes8_avx512(uint64_t* a) noexcept { rounds::permute(Avx512{a}, round_constants()); }

}  // namespace keccak
