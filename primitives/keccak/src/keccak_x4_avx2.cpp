// Keccak-p[1600] on four states at once with AVX2: one 256-bit register holds
// the same lane word of the four states. Compiled with -mavx2 only; reached
// through the run-time dispatch after the CPU and OS have been checked.
#include <immintrin.h>

#include "keccak_lanes.hpp"
#include "keccak_rounds.hpp"

namespace keccak {
namespace {

// Four states whose lane word i of state k is at p[i * Stride + k].
template <size_t Stride>
struct Avx2 {
  using V = __m256i;
  uint64_t* p;

  V load(int i) const { return _mm256_loadu_si256(reinterpret_cast<const V*>(p + i * Stride)); }
  void store(int i, V v) const { _mm256_storeu_si256(reinterpret_cast<V*>(p + i * Stride), v); }
  static V xor2(V a, V b) { return _mm256_xor_si256(a, b); }
  // Written as a ^ (b ^ c) so that the b ^ c shared by a whole theta column
  // is computed once.
  static V xor3(V a, V b, V c) { return _mm256_xor_si256(a, _mm256_xor_si256(b, c)); }
  static V chi(V a, V b, V c) { return _mm256_xor_si256(a, _mm256_andnot_si256(b, c)); }
  static V bcast(uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
  template <int N>
  static V rol(V x) {
    if constexpr (N == 8) {  // whole-byte rotations are one byte shuffle
      return _mm256_shuffle_epi8(x, _mm256_setr_epi8(7, 0, 1, 2, 3, 4, 5, 6, 15, 8, 9, 10, 11, 12, 13, 14, 7, 0, 1, 2,
                                                     3, 4, 5, 6, 15, 8, 9, 10, 11, 12, 13, 14));
    } else if constexpr (N == 56) {
      return _mm256_shuffle_epi8(x, _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8, 1, 2, 3, 4,
                                                     5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8));
    } else {
      return _mm256_or_si256(_mm256_slli_epi64(x, N), _mm256_srli_epi64(x, 64 - N));
    }
  }
};

}  // namespace

void permute_lanes4_avx2(uint64_t* a) noexcept { rounds::permute(Avx2<4>{a}, round_constants()); }

void permute_lanes8_avx2(uint64_t* a) noexcept {
  rounds::permute(Avx2<8>{a}, round_constants());
  rounds::permute(Avx2<8>{a + 4}, round_constants());
}

}  // namespace keccak
