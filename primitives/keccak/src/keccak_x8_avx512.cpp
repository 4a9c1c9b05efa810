// Keccak-p[1600] on eight states at once with AVX-512F: one 512-bit register
// holds the same lane word of the eight states. Rotations use vprolq; the
// column parities and chi use vpternlogq. Rounds run plane by plane between
// the caller's words and a scratch array (see keccak_rounds.hpp), which keeps
// the working set inside the 32 registers. Compiled with -mavx512f only;
// reached through the run-time dispatch after the CPU and OS have been checked.
#include <immintrin.h>

#include <cstdint>

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

// Word i of the eight states is one register: lane k holds state k. The
// rounds work on a plain vector of uint64_t rather than on __m512i, whose
// may-alias attribute lets any store seem to change any word still to be
// read, which ties the compiler's scheduling of the round.
struct Avx512 {
  using V = uint64_t __attribute__((vector_size(64)));

  // Truth tables over the operands (a, b, c) = (0xF0, 0xCC, 0xAA).
  static constexpr int kXor3 = 0x96;  // a ^ b ^ c
  static constexpr int kChi = 0xD2;   // a ^ (~b & c)

  static __m512i m(V v) { return reinterpret_cast<__m512i>(v); }
  static V v(__m512i x) { return reinterpret_cast<V>(x); }
  static V xor2(V a, V b) { return a ^ b; }
  static V xor3(V a, V b, V c) { return v(_mm512_ternarylogic_epi64(m(a), m(b), m(c), kXor3)); }
  static V chi(V a, V b, V c) { return v(_mm512_ternarylogic_epi64(m(a), m(b), m(c), kChi)); }
  static V bcast(uint64_t x) { return v(_mm512_set1_epi64(static_cast<long long>(x))); }
  static V zero() { return V{}; }
  static V loadu(const uint64_t* p) { return v(_mm512_loadu_si512(p)); }
  static void storeu(uint64_t* p, V x) { _mm512_storeu_si512(p, m(x)); }
  template <int N>
  static V rol(V x) {
    return v(_mm512_rol_epi64(m(x), N));
  }
};

}  // namespace

void permute_lanes8_avx512(uint64_t* a) noexcept { rounds::permute_interleaved<Avx512>(a, round_constants()); }

}  // namespace keccak
