// Keccak-p[1600] with AVX-512VL: on four states at once, the 256-bit form of
// the AVX-512 kernel (vprolq rotations, vpternlogq parities and chi, rounds
// run plane by plane), and on one state, the same rounds on single words of
// 128-bit registers, whose three-input vpternlogq and non-destructive vprolq
// take fewer instructions than general-purpose code. Compiled with -mavx512f
// -mavx512vl only; reached through the run-time dispatch after the CPU and OS
// have been checked.
#include <immintrin.h>

#include <cstdint>

#include "keccak_lanes.hpp"
#include "keccak_rounds.hpp"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace keccak {
namespace {

// Word i of the four states is one register: lane k holds state k. A plain
// vector of uint64_t for the same reason as in the 8-lane kernel.
struct Avx512Vl {
  using V = uint64_t __attribute__((vector_size(32)));

  static constexpr int kXor3 = 0x96;  // a ^ b ^ c over (0xF0, 0xCC, 0xAA)
  static constexpr int kChi = 0xD2;   // a ^ (~b & c)

  static __m256i m(V v) { return reinterpret_cast<__m256i>(v); }
  static V v(__m256i x) { return reinterpret_cast<V>(x); }
  static V xor2(V a, V b) { return a ^ b; }
  static V xor3(V a, V b, V c) { return v(_mm256_ternarylogic_epi64(m(a), m(b), m(c), kXor3)); }
  static V chi(V a, V b, V c) { return v(_mm256_ternarylogic_epi64(m(a), m(b), m(c), kChi)); }
  static V bcast(uint64_t x) { return v(_mm256_set1_epi64x(static_cast<long long>(x))); }
  static V zero() { return V{}; }
  static V loadu(const uint64_t* p) { return v(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))); }
  static void storeu(uint64_t* p, V x) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), m(x)); }
  template <int N>
  static V rol(V x) {
    return v(_mm256_rol_epi64(m(x), N));
  }
};

// One state, word i in the low half of 128-bit register i: the same rounds
// with vprolq and vpternlogq on single words.
struct OneLane {
  using V = uint64_t __attribute__((vector_size(16)));

  static __m128i m(V v) { return reinterpret_cast<__m128i>(v); }
  static V v(__m128i x) { return reinterpret_cast<V>(x); }
  static V xor2(V a, V b) { return a ^ b; }
  static V xor3(V a, V b, V c) { return v(_mm_ternarylogic_epi64(m(a), m(b), m(c), Avx512Vl::kXor3)); }
  static V chi(V a, V b, V c) { return v(_mm_ternarylogic_epi64(m(a), m(b), m(c), Avx512Vl::kChi)); }
  static V bcast(uint64_t x) { return V{x, 0}; }
  static V zero() { return V{}; }
  template <int N>
  static V rol(V x) {
    return v(_mm_rol_epi64(m(x), N));
  }
};

}  // namespace

void permute1_avx512vl(uint64_t* a) noexcept {
  OneLane::V w[25];
  for (int i = 0; i < 25; ++i) w[i] = OneLane::V{a[i], 0};
  rounds::permute_aligned<OneLane>(w, round_constants());
  for (int i = 0; i < 25; ++i) a[i] = w[i][0];
  rounds::clear_words<OneLane>(w);
}

void permute_lanes4_avx512vl(uint64_t* a) noexcept { rounds::permute_interleaved<Avx512Vl>(a, round_constants()); }

}  // namespace keccak
