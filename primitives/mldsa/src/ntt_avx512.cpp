// AVX-512 forms of the forward and inverse NTT. The whole polynomial stays
// in sixteen registers of sixteen coefficients. The levels with butterfly
// distance 128 down to 16 pair whole registers; the levels with distance 8
// down to 1 work on each pair of registers (32 coefficients), whose lanes a
// two-source permutation regroups before each level so that one register
// holds the upper and the other the lower operand of all sixteen
// butterflies. Every lane computes exactly what the portable code computes
// for that coefficient, so results are identical bit for bit.
#include <array>

#include "avx512_ops.hpp"

namespace mldsa::detail {
namespace {

using avx512::load;
using avx512::store;

// A twiddle factor in every lane or one per lane, with what its Montgomery
// products need: its odd lanes moved down and its product with q^-1.
struct Twiddle {
  __m512i z, z_odd, zq, zq_odd;
};

inline Twiddle twiddle(int32_t z) {
  const __m512i v = _mm512_set1_epi32(z);
  const __m512i vq = _mm512_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(z) * kQInv));
  return {v, v, vq, vq};
}

inline __m512i mont_mul(__m512i a, const Twiddle& w) { return avx512::mont_mul(a, w.z, w.z_odd, w.zq, w.zq_odd); }

inline void fwd_butterfly(__m512i& a, __m512i& b, const Twiddle& z) {
  const __m512i t = mont_mul(b, z);
  b = _mm512_sub_epi32(a, t);
  a = _mm512_add_epi32(a, t);
}

inline void inv_butterfly(__m512i& a, __m512i& b, const Twiddle& z) {
  const __m512i t = a;
  a = _mm512_add_epi32(t, b);
  b = mont_mul(_mm512_sub_epi32(t, b), z);
}

// ---- the levels inside a pair of registers ----
//
// A layout says which of the pair's 32 coefficients sits in each of its 32
// lanes (lanes 0-15 in the first register, 16-31 in the second). Before the
// level with distance d, butterfly s (s < 16) has its upper operand in lane
// s and its lower one in lane 16 + s; the upper operands are the offsets
// with bit d clear, in increasing order.
using Layout = std::array<int, 32>;

constexpr Layout natural() {
  Layout l{};
  for (int i = 0; i < 32; ++i) l[i] = i;
  return l;
}

constexpr Layout level_layout(int d) {
  Layout l{};
  int s = 0;
  for (int i = 0; i < 32; ++i) {
    if ((i & d) != 0) continue;
    l[s] = i;
    l[16 + s] = i + d;
    ++s;
  }
  return l;
}

// The lane indices of a two-source permutation from layout `from` to `to`.
struct Regroup {
  alignas(64) int32_t lo[16];
  alignas(64) int32_t hi[16];
};

constexpr Regroup regroup(const Layout& from, const Layout& to) {
  Regroup r{};
  for (int p = 0; p < 32; ++p) {
    int src = 0;
    for (int k = 0; k < 32; ++k)
      if (from[k] == to[p]) src = k;
    if (p < 16)
      r.lo[p] = src;
    else
      r.hi[p - 16] = src;
  }
  return r;
}

// Forward order of the levels: 8, 4, 2, 1; inverse: 1, 2, 4, 8.
constexpr int kDist[4] = {8, 4, 2, 1};

struct Regroups {
  Regroup fwd[5];  // into level 8, 4, 2, 1, then back to natural order
  Regroup inv[5];  // into level 1, 2, 4, 8, then back
};

constexpr Regroups make_regroups() {
  Regroups r{};
  Layout at = natural();
  for (int k = 0; k < 4; ++k) {
    r.fwd[k] = regroup(at, level_layout(kDist[k]));
    at = level_layout(kDist[k]);
  }
  r.fwd[4] = regroup(at, natural());
  at = natural();
  for (int k = 0; k < 4; ++k) {
    r.inv[k] = regroup(at, level_layout(kDist[3 - k]));
    at = level_layout(kDist[3 - k]);
  }
  r.inv[4] = regroup(at, natural());
  return r;
}

constexpr Regroups kRegroups = make_regroups();

inline void apply(__m512i& x, __m512i& y, const Regroup& g) {
  const __m512i lo = _mm512_permutex2var_epi32(x, load(g.lo), y);
  const __m512i hi = _mm512_permutex2var_epi32(x, load(g.hi), y);
  x = lo;
  y = hi;
}

// The per-lane twiddles of the four small levels for each of the eight
// pairs. Forward, the butterfly at offset i of distance d uses
// zetas[128/d + i/(2d)] (offsets counted over the whole polynomial);
// inverse, -zetas[256/d - 1 - i/(2d)].
//
// The table is built on first use, behind the guard of a function-local
// static, and the transforms fetch it before they load any coefficient:
// the first call in a process goes through __cxa_guard_acquire and the
// builder, and every vector register live across that call would be
// spilled to the stack and left there, the secret polynomial with them.
struct SmallTwiddles {
  alignas(64) int32_t z[2][4][8][16];      // [inverse][level][pair][butterfly]
  alignas(64) int32_t z_odd[2][4][8][16];  // odd lanes moved down
  alignas(64) int32_t zq[2][4][8][16];     // times q^-1 mod 2^32
  alignas(64) int32_t zq_odd[2][4][8][16];
};

const SmallTwiddles& small_twiddles(const int32_t* zt) {
  static const SmallTwiddles t = [zt] {
    SmallTwiddles r{};
    for (int inv = 0; inv < 2; ++inv)
      for (int k = 0; k < 4; ++k) {
        const int d = inv ? kDist[3 - k] : kDist[k];
        const Layout l = level_layout(d);
        for (int pair = 0; pair < 8; ++pair)
          for (int s = 0; s < 16; ++s) {
            const int block = (32 * pair + l[s]) / (2 * d);
            const int32_t z = inv ? -zt[256 / d - 1 - block] : zt[128 / d + block];
            r.z[inv][k][pair][s] = z;
            r.zq[inv][k][pair][s] = static_cast<int32_t>(static_cast<uint32_t>(z) * kQInv);
          }
        for (int pair = 0; pair < 8; ++pair)
          for (int s = 0; s < 16; ++s) {
            r.z_odd[inv][k][pair][s] = r.z[inv][k][pair][s | 1];
            r.zq_odd[inv][k][pair][s] = r.zq[inv][k][pair][s | 1];
          }
      }
    return r;
  }();
  return t;
}

inline Twiddle small_twiddle(const SmallTwiddles& t, int inv, int level, int pair) {
  return {load(t.z[inv][level][pair]), load(t.z_odd[inv][level][pair]), load(t.zq[inv][level][pair]),
          load(t.zq_odd[inv][level][pair])};
}

// The level in which register k pairs with register k + Dist (distance
// 16 Dist); forward, block b uses zetas[8/Dist + b], inverse
// -zetas[16/Dist - 1 - b].
template <int Dist>
inline void fwd_registers(__m512i (&v)[16], const int32_t* zt) {
#pragma GCC unroll 8
  for (int blk = 0; blk < 8 / Dist; ++blk) {
    const Twiddle z = twiddle(zt[8 / Dist + blk]);
#pragma GCC unroll 8
    for (int k = 0; k < Dist; ++k) fwd_butterfly(v[2 * Dist * blk + k], v[2 * Dist * blk + k + Dist], z);
  }
}

template <int Dist>
inline void inv_registers(__m512i (&v)[16], const int32_t* zt) {
#pragma GCC unroll 8
  for (int blk = 0; blk < 8 / Dist; ++blk) {
    const Twiddle z = twiddle(-zt[16 / Dist - 1 - blk]);
#pragma GCC unroll 8
    for (int k = 0; k < Dist; ++k) inv_butterfly(v[2 * Dist * blk + k], v[2 * Dist * blk + k + Dist], z);
  }
}

}  // namespace

void ntt_avx512(Poly& p, const int32_t* zt) noexcept {
  // Before the coefficients are loaded: see small_twiddles().
  const SmallTwiddles& t = small_twiddles(zt);
  __m512i v[16];
#pragma GCC unroll 16
  for (int k = 0; k < 16; ++k) v[k] = load(p.c + 16 * k);
  // Distances 128, 64, 32, 16: register k with register k + 8, 4, 2, 1.
  fwd_registers<8>(v, zt);
  fwd_registers<4>(v, zt);
  fwd_registers<2>(v, zt);
  fwd_registers<1>(v, zt);
#pragma GCC unroll 16
  for (int pair = 0; pair < 8; ++pair) {
    __m512i& x = v[2 * pair];
    __m512i& y = v[2 * pair + 1];
#pragma GCC unroll 16
    for (int level = 0; level < 4; ++level) {
      apply(x, y, kRegroups.fwd[level]);
      fwd_butterfly(x, y, small_twiddle(t, 0, level, pair));
    }
    apply(x, y, kRegroups.fwd[4]);
  }
#pragma GCC unroll 16
  for (int k = 0; k < 16; ++k) store(p.c + 16 * k, v[k]);
}

void invntt_avx512(Poly& p, const int32_t* zt, int32_t scale) noexcept {
  // Before the coefficients are loaded: see small_twiddles().
  const SmallTwiddles& t = small_twiddles(zt);
  __m512i v[16];
#pragma GCC unroll 16
  for (int k = 0; k < 16; ++k) v[k] = load(p.c + 16 * k);
#pragma GCC unroll 16
  for (int pair = 0; pair < 8; ++pair) {
    __m512i& x = v[2 * pair];
    __m512i& y = v[2 * pair + 1];
#pragma GCC unroll 16
    for (int level = 0; level < 4; ++level) {
      apply(x, y, kRegroups.inv[level]);
      inv_butterfly(x, y, small_twiddle(t, 1, level, pair));
    }
    apply(x, y, kRegroups.inv[4]);
  }
  // Distances 16, 32, 64, 128.
  inv_registers<1>(v, zt);
  inv_registers<2>(v, zt);
  inv_registers<4>(v, zt);
  inv_registers<8>(v, zt);
  const Twiddle f = twiddle(scale);
#pragma GCC unroll 16
  for (int k = 0; k < 16; ++k) store(p.c + 16 * k, mont_mul(v[k], f));
}

}  // namespace mldsa::detail
