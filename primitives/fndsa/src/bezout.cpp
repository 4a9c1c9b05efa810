// Modular inverse for the bottom of the tower, where f and g have become
// two integers of a few thousand bits: the binary extended GCD, run 31
// steps at a time on 64-bit stand-ins for the two values.
//
// Plain binary GCD keeps a = y u and b = y v (mod x), starting from
// (a, b) = (y, x): while a is odd it subtracts the smaller of a, b from the
// larger (swapping first so that a is the larger), then halves a (and u,
// modulo the odd x). Each step shortens len(a) + len(b) by at least one bit;
// once a = 0, b is the gcd and, when it is 1, v = 1/y mod x.
//
// Thirty-one consecutive steps depend only on the low 31 bits of a and b
// (the parities) and on the comparisons, which the leading bits decide but
// for rare ties. So each round builds a 64-bit stand-in for a and b: their
// exact low 31 bits below their leading 33 bits, both cut at the length of
// the longer one. The 31 steps run on the stand-ins and record their effect
// as a matrix of small integers; the matrix is then applied once to the full
// a, b (an exact division by 2^31 follows) and to u, v (the division by
// 2^31 modulo x is a Montgomery step). A comparison misjudged on the
// stand-ins leaves a negative value, which is negated together with its
// matrix row. The matrix is applied exactly, so a = y u and b = y v (mod x)
// hold whatever the stand-ins decided: a final b = 1 always means v = 1/y.
// The stand-ins only affect how fast the values shrink; the analysis of
// this method (Pornin, "Optimized Binary GCD for Modular Inversion", 2020)
// keeps the drop at 31 bits a round, and they are exact once both values fit
// in 64 bits.
//
// The number of rounds is fixed by the length, every selection is a mask,
// and the only data-dependent outcome is the final gcd test.
#include <cstring>

#include "bigint.hpp"
#include "ntru_sizes.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::kgen {
namespace {

constexpr size_t kMaxLen = kNormLimbs[kDepth];

struct Matrix {
  int64_t f0, g0, f1, g1;  // a' 2^31 = f0 a + g0 b, b' 2^31 = f1 a + g1 b
};

// 31 steps on the stand-ins.
Matrix run_steps(uint64_t a, uint64_t b) noexcept {
  Matrix t{1, 0, 0, 1};
  for (int i = 0; i < 31; ++i) {
    const uint64_t odd = 0 - (a & 1);
    const uint64_t swap = odd & ct::lt64_mask(a, b);
    const uint64_t d = swap & (a ^ b);
    a ^= d;
    b ^= d;
    const int64_t sw = static_cast<int64_t>(swap);
    int64_t e = sw & (t.f0 ^ t.f1);
    t.f0 ^= e;
    t.f1 ^= e;
    e = sw & (t.g0 ^ t.g1);
    t.g0 ^= e;
    t.g1 ^= e;
    const int64_t o = static_cast<int64_t>(odd);
    a -= b & odd;
    t.f0 -= t.f1 & o;
    t.g0 -= t.g1 & o;
    a >>= 1;
    t.f1 *= 2;
    t.g1 *= 2;
  }
  return t;
}

// x <- -x modulo 2^(31 len) under a mask.
void negate_if(uint32_t* x, size_t len, uint32_t mask) noexcept {
  uint32_t carry = mask & 1;
  for (size_t j = 0; j < len; ++j) {
    const uint32_t w = ((x[j] ^ mask) & kLimbMask) + carry;
    x[j] = w & kLimbMask;
    carry = w >> 31;
  }
}

// (a, b) <- ((f0 a + g0 b) / 2^31, (f1 a + g1 b) / 2^31), both made
// non-negative; the rows of the matrix follow the signs.
void update_values(uint32_t* a, uint32_t* b, size_t len, Matrix& t) noexcept {
  int64_t ca = 0, cb = 0;
  for (size_t j = 0; j < len; ++j) {
    const int64_t x = a[j], y = b[j];
    const int64_t za = x * t.f0 + y * t.g0 + ca;
    const int64_t zb = x * t.f1 + y * t.g1 + cb;
    if (j > 0) {
      a[j - 1] = static_cast<uint32_t>(za) & kLimbMask;
      b[j - 1] = static_cast<uint32_t>(zb) & kLimbMask;
    }
    ca = za >> 31;
    cb = zb >> 31;
  }
  a[len - 1] = static_cast<uint32_t>(ca) & kLimbMask;
  b[len - 1] = static_cast<uint32_t>(cb) & kLimbMask;
  const uint32_t na = static_cast<uint32_t>(ca >> 63), nb = static_cast<uint32_t>(cb >> 63);
  negate_if(a, len, na);
  negate_if(b, len, nb);
  const int64_t ma = static_cast<int32_t>(na), mb = static_cast<int32_t>(nb);
  t.f0 = (t.f0 ^ ma) - ma;
  t.g0 = (t.g0 ^ ma) - ma;
  t.f1 = (t.f1 ^ mb) - mb;
  t.g1 = (t.g1 ^ mb) - mb;
}

// (u, v) <- ((f0 u + g0 v) / 2^31, (f1 u + g1 v) / 2^31) mod x, in [0, x).
// Adding k x with k = -(low 31 bits) / x mod 2^31 makes the division exact;
// the result lies in (-x, 2x) and one masked correction each way brings it
// back (`plus` and `minus` hold 2 len words each).
void update_cofactors(uint32_t* u, uint32_t* v, const uint32_t* x, size_t len, uint32_t x_ninv, const Matrix& t,
                      uint32_t* plus, uint32_t* minus) noexcept {
  const uint32_t ku =
      static_cast<uint32_t>((static_cast<int64_t>(u[0]) * t.f0 + static_cast<int64_t>(v[0]) * t.g0)) * x_ninv &
      kLimbMask;
  const uint32_t kv =
      static_cast<uint32_t>((static_cast<int64_t>(u[0]) * t.f1 + static_cast<int64_t>(v[0]) * t.g1)) * x_ninv &
      kLimbMask;
  int64_t cu = 0, cv = 0;
  for (size_t j = 0; j < len; ++j) {
    const int64_t p = u[j], q = v[j], m = x[j];
    const int64_t zu = p * t.f0 + q * t.g0 + m * ku + cu;
    const int64_t zv = p * t.f1 + q * t.g1 + m * kv + cv;
    if (j > 0) {
      u[j - 1] = static_cast<uint32_t>(zu) & kLimbMask;
      v[j - 1] = static_cast<uint32_t>(zv) & kLimbMask;
    }
    cu = zu >> 31;
    cv = zv >> 31;
  }
  u[len - 1] = static_cast<uint32_t>(cu) & kLimbMask;
  v[len - 1] = static_cast<uint32_t>(cv) & kLimbMask;
  // Each value is V = w + 2^(31 len) h with h = c >> 31, in (-x, 2x): it
  // becomes V + x when negative and V - x when at least x. Both candidates
  // come from one pass (four independent carry chains for u and v), then a
  // masked selection keeps the right one.
  const int64_t hu = cu >> 31, hv = cv >> 31;
  uint32_t pu = 0, mu = 0, pv = 0, mv = 0;
  for (size_t j = 0; j < len; ++j) {
    const uint32_t su = u[j] + x[j] + pu, du = u[j] - x[j] - mu;
    const uint32_t sv = v[j] + x[j] + pv, dv = v[j] - x[j] - mv;
    plus[j] = su & kLimbMask;
    minus[j] = du & kLimbMask;
    plus[len + j] = sv & kLimbMask;
    minus[len + j] = dv & kLimbMask;
    pu = su >> 31;
    mu = du >> 31;
    pv = sv >> 31;
    mv = dv >> 31;
  }
  const uint32_t neg_u = static_cast<uint32_t>(hu >> 63), neg_v = static_cast<uint32_t>(hv >> 63);
  const uint32_t ge_u = ~neg_u & (0u - ((mu ^ 1) | (static_cast<uint32_t>(hu) & 1)));
  const uint32_t ge_v = ~neg_v & (0u - ((mv ^ 1) | (static_cast<uint32_t>(hv) & 1)));
  for (size_t j = 0; j < len; ++j) {
    u[j] = ct::select(neg_u, plus[j], ct::select(ge_u, minus[j], u[j]));
    v[j] = ct::select(neg_v, plus[len + j], ct::select(ge_v, minus[len + j], v[j]));
  }
}

// Bit length of the longer of a and b, both non-negative: that of their
// limb-wise OR.
uint32_t joint_bits(const uint32_t* a, const uint32_t* b, size_t len) noexcept {
  uint32_t top = 0, top_index = 0;
  for (size_t j = 0; j < len; ++j) {
    const uint32_t w = a[j] | b[j];
    const uint32_t nz = ct::nonzero_mask(w);
    top = ct::select(nz, w, top);
    top_index = ct::select(nz, static_cast<uint32_t>(j), top_index);
  }
  return 31 * top_index + ct::bit_length31(top);
}

// The 64-bit stand-ins of a and b (non-negative, len limbs): low 31 bits,
// then bits [s, s + 33) with s = max(n, 64) - 33, n the length of the
// longer value. The three limbs holding those bits are picked by masks in
// one pass over both values.
void stand_ins(const uint32_t* a, const uint32_t* b, size_t len, uint32_t s, uint64_t& sa, uint64_t& sb) noexcept {
  // Bit s is bit r - 1 of limb q - 1, with r in [1, 31].
  uint32_t q = (s + 32) / 31, r = (s + 32) % 31;
  const uint32_t r0 = ct::eq_mask(r, 0);
  q -= r0 & 1;
  r |= r0 & 31;
  uint32_t a0 = 0, a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;
  for (size_t j = 0; j < len; ++j) {
    const uint32_t jj = static_cast<uint32_t>(j);
    const uint32_t m0 = ct::eq_mask(jj + 1, q), m1 = ct::eq_mask(jj, q), m2 = ct::eq_mask(jj, q + 1);
    a0 |= a[j] & m0;
    a1 |= a[j] & m1;
    a2 |= a[j] & m2;
    b0 |= b[j] & m0;
    b1 |= b[j] & m1;
    b2 |= b[j] & m2;
  }
  auto window = [r](uint32_t w0, uint32_t w1, uint32_t w2) {
    const uint64_t lo = (w0 >> (r - 1)) | (w1 << (32 - r));
    const uint64_t hi = ((w1 >> r) | (w2 << (31 - r))) & 1;
    return lo | (hi << 32);
  };
  sa = static_cast<uint64_t>(a[0]) | (window(a0, a1, a2) << 31);
  sb = static_cast<uint64_t>(b[0]) | (window(b0, b1, b2) << 31);
}

}  // namespace

bool mod_inverse(uint32_t* inv, const uint32_t* y, const uint32_t* x, size_t len) noexcept {
  // a and b carry one limb more than x, so that they read as non-negative
  // in two's complement.
  zeroize::SecretArray<(8 * kMaxLen + 2) * sizeof(uint32_t)> buf;
  uint32_t* a = reinterpret_cast<uint32_t*>(buf.data());
  uint32_t* b = a + len + 1;
  uint32_t* u = b + len + 1;
  uint32_t* v = u + len;
  uint32_t* plus = v + len;  // the candidates of the cofactor correction, 2 len words each
  uint32_t* minus = plus + 2 * len;
  std::memcpy(a, y, len * 4);
  std::memcpy(b, x, len * 4);
  a[len] = b[len] = 0;
  std::memset(u, 0, 2 * len * 4);
  u[0] = 1;
  uint32_t x_ninv = x[0];  // -1/x mod 2^31 by Newton's iteration
  for (int i = 0; i < 5; ++i) x_ninv *= 2 - x[0] * x_ninv;
  x_ninv = (0u - x_ninv) & kLimbMask;

  // Each round removes 31 bits of len(a) + len(b) <= 62 len; two spare
  // rounds are harmless (once a = 0 nothing but u moves).
  const size_t rounds = 2 * len + 2;
  for (size_t r = 0; r < rounds; ++r) {
    const uint32_t s = ct::max31(joint_bits(a, b, len + 1), 64) - 33;
    uint64_t sa, sb;
    stand_ins(a, b, len + 1, s, sa, sb);
    Matrix t = run_steps(sa, sb);
    update_values(a, b, len + 1, t);
    update_cofactors(u, v, x, len, x_ninv, t, plus, minus);
  }
  uint32_t rest = b[0] ^ 1;
  for (size_t j = 0; j <= len; ++j) rest |= a[j];
  for (size_t j = 1; j <= len; ++j) rest |= b[j];
  std::memcpy(inv, v, len * 4);
  return rest == 0;
}

}  // namespace fndsa::kgen
