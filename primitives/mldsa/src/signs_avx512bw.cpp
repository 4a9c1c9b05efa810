// SampleInBall's placement of the signs on AVX-512BW, with no memory access
// and no branch depending on the positions. Rather than moving the
// coefficients at each step, it follows where each sign ends up: at step t
// (i = 256 - tau + t) the sign sitting at j[t] moves to i, and sign t takes
// j[t]. The 39 positions live as bytes in one register; a final pass puts
// each sign where it ended, comparing its position with all 256 at once.
// The final positions pass through a 64-byte buffer on the stack, which
// the wipe at the end clears (a plain store there would be dead to the
// optimiser and dropped).
#include "avx512_ops.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail::avx512bw {

void place_signs(Poly& c, const uint8_t js[kTau], uint64_t signs) noexcept {
  static_assert(kTau <= 64);
  // Lanes not yet given a sign hold 255, which only the last step's
  // position can match; they are never read.
  __m512i at = _mm512_set1_epi8(static_cast<char>(0xFF));
  for (int t = 0; t < kTau; ++t) {
    const __m512i j = _mm512_set1_epi8(static_cast<char>(js[t]));
    const __mmask64 moved = _mm512_cmpeq_epi8_mask(at, j);
    at = _mm512_mask_mov_epi8(at, moved, _mm512_set1_epi8(static_cast<char>(kN - kTau + t)));
    at = _mm512_mask_mov_epi8(at, __mmask64{1} << t, j);
  }
  alignas(64) uint8_t where[64];
  _mm512_store_si512(where, at);

  __m512i slot[4], v[4];
  for (int r = 0; r < 4; ++r) {
    alignas(64) uint8_t pos[64];
    for (int b = 0; b < 64; ++b) pos[b] = static_cast<uint8_t>(64 * r + b);
    slot[r] = _mm512_load_si512(pos);
    v[r] = _mm512_setzero_si512();
  }
  for (int t = 0; t < kTau; ++t) {
    const __m512i p = _mm512_set1_epi8(static_cast<char>(where[t]));
    const __m512i sign = _mm512_set1_epi8(static_cast<char>(1 - 2 * static_cast<int>((signs >> t) & 1)));
    for (int r = 0; r < 4; ++r) v[r] = _mm512_mask_mov_epi8(v[r], _mm512_cmpeq_epi8_mask(slot[r], p), sign);
  }
  for (int r = 0; r < 4; ++r) {
    int32_t* out = c.c + 64 * r;
    avx512::store(out, _mm512_cvtepi8_epi32(_mm512_castsi512_si128(v[r])));
    avx512::store(out + 16, _mm512_cvtepi8_epi32(_mm512_extracti32x4_epi32(v[r], 1)));
    avx512::store(out + 32, _mm512_cvtepi8_epi32(_mm512_extracti32x4_epi32(v[r], 2)));
    avx512::store(out + 48, _mm512_cvtepi8_epi32(_mm512_extracti32x4_epi32(v[r], 3)));
  }
  zeroize::wipe(where, sizeof where);
}

}  // namespace mldsa::detail::avx512bw
