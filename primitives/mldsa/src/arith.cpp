#include <atomic>
#include <cstring>

#include "cpu/features.hpp"
#include "internal.hpp"
#include "subtle/ct_marks.hpp"
#include "xof_lanes.hpp"

namespace mldsa::detail {
namespace {

constexpr int64_t kZeta = 1753;  // primitive 512th root of unity mod q
constexpr int64_t kMont = (1LL << 32) % kQ;

constexpr int64_t mod_mul(int64_t a, int64_t b) { return (a * b) % kQ; }

constexpr int64_t mod_pow(int64_t base, int64_t e) {
  int64_t r = 1;
  while (e > 0) {
    if (e & 1) r = mod_mul(r, base);
    base = mod_mul(base, base);
    e >>= 1;
  }
  return r;
}

constexpr unsigned bitrev8(unsigned k) {
  unsigned r = 0;
  for (int i = 0; i < 8; ++i) r |= ((k >> i) & 1u) << (7 - i);
  return r;
}

constexpr int32_t centred(int64_t a) {
  a %= kQ;
  if (a < 0) a += kQ;
  return static_cast<int32_t>(a > kQ / 2 ? a - kQ : a);
}

// zetas[k] = zeta^bitrev8(k) * 2^32 mod q, centred.
constexpr std::array<int32_t, kN> make_zetas() {
  std::array<int32_t, kN> z{};
  for (unsigned k = 0; k < kN; ++k) z[k] = centred(mod_mul(mod_pow(kZeta, bitrev8(k)), kMont));
  return z;
}
constexpr std::array<int32_t, kN> kZetas = make_zetas();

// 2^64 / 256 mod q: the final scaling of the inverse transform, which also
// leaves one factor 2^32 in the result.
constexpr int32_t kInvScale = centred(mod_mul(mod_mul(kMont, kMont), mod_pow(256, kQ - 2)));
static_assert(kInvScale == 41978);

}  // namespace

namespace {
Arith detect_arith() noexcept {
  const cpu::Features& f = cpu::features();
  if (f.avx512f && f.bmi2) return Arith::kAvx512;
  if (f.avx2) return Arith::kAvx2;
  return Arith::kPortable;
}
std::atomic<uint8_t> g_arith_cap{static_cast<uint8_t>(Arith::kAvx512)};
// The lower of the cap and the processor's best, kept so that each kernel
// call reads one word; kUnset until first asked for.
constexpr uint8_t kUnset = 0xFF;
std::atomic<uint8_t> g_arith{kUnset};
}  // namespace

Arith best_arith() noexcept {
  static const Arith best = detect_arith();
  return best;
}

namespace {
Arith effective(uint8_t cap) noexcept {
  const Arith best = best_arith();
  return static_cast<Arith>(cap) < best ? static_cast<Arith>(cap) : best;
}
Arith arith() noexcept {
  const uint8_t now = g_arith.load(std::memory_order_relaxed);
  if (now != kUnset) return static_cast<Arith>(now);
  // A cap set meanwhile wins.
  uint8_t unset = kUnset;
  g_arith.compare_exchange_strong(unset, static_cast<uint8_t>(effective(g_arith_cap.load(std::memory_order_relaxed))),
                                  std::memory_order_relaxed);
  return static_cast<Arith>(g_arith.load(std::memory_order_relaxed));
}
}  // namespace

Arith active_arith() noexcept { return arith(); }
bool avx512bw_usable() noexcept {
  static const bool usable = cpu::features().avx512f && __builtin_cpu_supports("avx512bw");
  return usable;
}
void cap_arith(Arith max) noexcept {
  g_arith_cap.store(static_cast<uint8_t>(max), std::memory_order_relaxed);
  g_arith.store(static_cast<uint8_t>(effective(static_cast<uint8_t>(max))), std::memory_order_relaxed);
}
void force_portable_arith(bool on) noexcept { cap_arith(on ? Arith::kPortable : Arith::kAvx512); }
const char* arith_backend() noexcept {
  switch (arith()) {
    case Arith::kAvx512: return "avx512";
    case Arith::kAvx2: return "avx2";
    case Arith::kPortable: break;
  }
  return "portable";
}
const int32_t* zetas_for_tests() noexcept { return kZetas.data(); }
int32_t inv_scale_for_tests() noexcept { return kInvScale; }

// FIPS 204 Algorithm 41 (NTT).
void ntt(Poly& p) noexcept {
  switch (arith()) {
    case Arith::kAvx512: return ntt_avx512(p, kZetas.data());
    case Arith::kAvx2: return ntt_avx2(p, kZetas.data());
    case Arith::kPortable: break;
  }
  ntt_portable(p);
}

// FIPS 204 Algorithm 42 (NTT^-1), leaving the Montgomery factor.
void invntt_tomont(Poly& p) noexcept {
  switch (arith()) {
    case Arith::kAvx512: return invntt_avx512(p, kZetas.data(), kInvScale);
    case Arith::kAvx2: return invntt_avx2(p, kZetas.data(), kInvScale);
    case Arith::kPortable: break;
  }
  invntt_portable(p);
}

// The kernels, each sent to the widest form the processor has.
#define MLDSA_DISPATCH(name, params, args)                   \
  auto name params noexcept->decltype(portable::name args) { \
    switch (arith()) {                                       \
      case Arith::kAvx512: return avx512::name args;         \
      case Arith::kAvx2: return avx2::name args;             \
      case Arith::kPortable: break;                          \
    }                                                        \
    return portable::name args;                              \
  }
MLDSA_DISPATCH(pointwise_mont, (Poly & r, const Poly& a, const Poly& b), (r, a, b))
MLDSA_DISPATCH(row_mul, (Poly & r, const PolyVecL& row, const PolyVecL& v), (r, row, v))
MLDSA_DISPATCH(power2round_poly, (Poly & t1, Poly& t0, const Poly& t, const Poly& s), (t1, t0, t, s))
MLDSA_DISPATCH(high_bits_poly, (Poly & w1, Poly& w), (w1, w))
MLDSA_DISPATCH(make_z, (Poly & z, const Poly& y, const Poly& cs1), (z, y, cs1))
MLDSA_DISPATCH(make_r, (Poly & r, const Poly& w, const Poly& cs2), (r, w, cs2))
MLDSA_DISPATCH(make_hint, (Poly & h, int32_t* count, const Poly& r, const Poly& ct0), (h, count, r, ct0))
MLDSA_DISPATCH(sub_reduce, (Poly & w, const Poly& b), (w, b))
MLDSA_DISPATCH(use_hint_poly, (Poly & w1, const Poly& w, const Poly& h), (w1, w, h))
MLDSA_DISPATCH(exceeds_norm, (const Poly* polys, size_t count, int32_t bound), (polys, count, bound))
MLDSA_DISPATCH(place_signs, (Poly & c, const uint8_t j[kTau], uint64_t signs), (c, j, signs))
MLDSA_DISPATCH(rej_ntt_append, (Poly & a, int n, const uint8_t* buf, size_t len), (a, n, buf, len))
MLDSA_DISPATCH(rej_eta_append, (Poly & a, int n, const uint8_t* buf, size_t len), (a, n, buf, len))
MLDSA_DISPATCH(unpack_mask, (Poly & y, const uint8_t* in), (y, in))
#undef MLDSA_DISPATCH

void lanes8_to_bytes(const uint64_t* st, size_t words, uint8_t* const out[8]) noexcept {
  if (arith() == Arith::kAvx512) return avx512::lanes8_to_bytes(st, words, out);
  portable::lanes8_to_bytes(st, words, out);
}

// FIPS 204 Algorithm 41 (NTT).
void ntt_portable(Poly& p) noexcept {
  int32_t* a = p.c;
  unsigned k = 0;
  for (unsigned len = 128; len > 0; len >>= 1) {
    for (unsigned start = 0; start < kN; start += 2 * len) {
      const int64_t zeta = kZetas[++k];
      for (unsigned j = start; j < start + len; ++j) {
        const int32_t t = mont_reduce(zeta * a[j + len]);
        a[j + len] = a[j] - t;
        a[j] = a[j] + t;
      }
    }
  }
}

// FIPS 204 Algorithm 42 (NTT^-1).
void invntt_portable(Poly& p) noexcept {
  int32_t* a = p.c;
  unsigned k = kN;
  for (unsigned len = 1; len < kN; len <<= 1) {
    for (unsigned start = 0; start < kN; start += 2 * len) {
      const int64_t zeta = -static_cast<int64_t>(kZetas[--k]);
      for (unsigned j = start; j < start + len; ++j) {
        const int32_t t = a[j];
        a[j] = t + a[j + len];
        a[j + len] = mont_reduce(zeta * (t - a[j + len]));
      }
    }
  }
  for (int j = 0; j < kN; ++j) a[j] = mont_reduce(static_cast<int64_t>(kInvScale) * a[j]);
}

namespace portable {

void lanes8_to_bytes(const uint64_t* st, size_t words, uint8_t* const out[8]) noexcept {
  for (size_t w = 0; w < words; ++w)
    for (size_t k = 0; k < 8; ++k) {
      const uint64_t v = le64(st[8 * w + k]);
      std::memcpy(out[k] + 8 * w, &v, 8);
    }
}

// FIPS 204 Algorithm 45 (MultiplyNTT), Montgomery form.
void pointwise_mont(Poly& r, const Poly& a, const Poly& b) noexcept {
  for (int i = 0; i < kN; ++i) r.c[i] = mont_reduce(static_cast<int64_t>(a.c[i]) * b.c[i]);
}

// FIPS 204 Algorithm 48 (MatrixVectorNTT), one row.
void row_mul(Poly& r, const PolyVecL& row, const PolyVecL& v) noexcept {
  // Four products below 9q^2 each stay within the reduction's input range.
  for (int i = 0; i < kN; ++i) {
    int64_t acc = 0;
    for (int j = 0; j < kL; ++j) acc += static_cast<int64_t>(row[j].c[i]) * v[j].c[i];
    r.c[i] = mont_reduce(acc);
  }
}

// FIPS 204 Algorithm 35 (Power2Round), coefficientwise.
void power2round_poly(Poly& t1, Poly& t0, const Poly& t, const Poly& s) noexcept {
  for (int i = 0; i < kN; ++i) power2round(freeze(t.c[i] + s.c[i]), t1.c[i], t0.c[i]);
}

// FIPS 204 Algorithm 37 (HighBits), coefficientwise.
void high_bits_poly(Poly& w1, Poly& w) noexcept {
  for (int i = 0; i < kN; ++i) {
    int32_t a0;
    w.c[i] = freeze(w.c[i]);
    decompose(w.c[i], w1.c[i], a0);
  }
}

uint32_t make_z(Poly& z, const Poly& y, const Poly& cs1) noexcept {
  uint32_t flag = 0;
  for (int i = 0; i < kN; ++i) {
    z.c[i] = center(freeze(y.c[i] + cs1.c[i]));
    flag |= over_bound(z.c[i], kGamma1 - kBeta);
  }
  return flag;
}

uint32_t make_r(Poly& r, const Poly& w, const Poly& cs2) noexcept {
  uint32_t flag = 0;
  for (int i = 0; i < kN; ++i) {
    int32_t r1, r0;
    r.c[i] = freeze(w.c[i] - cs2.c[i]);
    decompose(r.c[i], r1, r0);
    flag |= over_bound(r0, kGamma2 - kBeta);
  }
  return flag;
}

// FIPS 204 Algorithm 39 (MakeHint), coefficientwise.
uint32_t make_hint(Poly& h, int32_t* count, const Poly& r, const Poly& ct0) noexcept {
  uint32_t flag = 0;
  int32_t ones = 0;
  for (int i = 0; i < kN; ++i) {
    int32_t moved1, moved0, kept1, kept0;
    flag |= over_bound(center(freeze(ct0.c[i])), kGamma2);
    decompose(freeze(r.c[i] + ct0.c[i]), moved1, moved0);
    decompose(r.c[i], kept1, kept0);
    // 1 when the high parts differ (both are below 44).
    h.c[i] = static_cast<int32_t>(static_cast<uint32_t>(-(moved1 ^ kept1)) >> 31);
    ones += h.c[i];
  }
  *count += ones;
  return flag;
}

void sub_reduce(Poly& w, const Poly& b) noexcept {
  for (int i = 0; i < kN; ++i) w.c[i] = reduce32(w.c[i] - b.c[i]);
}

// FIPS 204 Algorithm 40 (UseHint), coefficientwise.
void use_hint_poly(Poly& w1, const Poly& w, const Poly& h) noexcept {
  for (int i = 0; i < kN; ++i) w1.c[i] = use_hint(freeze(w.c[i]), h.c[i]);
}

uint32_t exceeds_norm(const Poly* polys, size_t count, int32_t bound) noexcept {
  uint32_t flag = 0;
  for (size_t p = 0; p < count; ++p) {
    for (int i = 0; i < kN; ++i) flag |= over_bound(polys[p].c[i], bound);
  }
  return flag;
}

// The matrix is public, so the candidates may steer branches.
// FIPS 204 Algorithms 30 (RejNTTPoly) and 14 (CoeffFromThreeBytes).
int rej_ntt_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept {
  for (size_t i = 0; i + 3 <= len && n < kN; i += 3) {
    const int32_t t = static_cast<int32_t>(buf[i]) | (static_cast<int32_t>(buf[i + 1]) << 8) |
                      (static_cast<int32_t>(buf[i + 2] & 0x7F) << 16);
    if (t < kQ) a.c[n++] = t;
  }
  return n;
}

// FIPS 204 Algorithms 31 (RejBoundedPoly) and 15 (CoeffFromHalfByte) for
// eta = 2: half-bytes below 15 map to eta - (b mod 5). Which half-bytes are
// dropped is the stream's rejection decision; the values themselves go
// through no branch.
int rej_eta_append(Poly& a, int n, const uint8_t* buf, size_t len) noexcept {
  for (size_t h = 0; h < 2 * len && n < kN; ++h) {
    const uint32_t b = (buf[h / 2] >> (4 * (h & 1))) & 0x0Fu;
    const uint32_t mod5 = b - ((205 * b) >> 10) * 5;  // b mod 5 for b < 16
    a.c[n] = kEta - static_cast<int32_t>(mod5);
    // A refused half-byte is a sampler redraw: public by design.
    n += static_cast<int>(subtle::public_value((b - 15) >> 31));
  }
  return n;
}

void unpack_mask(Poly& y, const uint8_t* in) noexcept { unpack_z(y, in); }

// FIPS 204 Algorithm 29 (SampleInBall), lines 5 to 9.
void place_signs(Poly& c, const uint8_t js[kTau], uint64_t signs) noexcept {
  for (int n = 0; n < kN; ++n) c.c[n] = 0;
  for (int t = 0; t < kTau; ++t) {
    const int i = kN - kTau + t;
    const uint32_t j = js[t];
    const int32_t sign = 1 - 2 * static_cast<int32_t>((signs >> t) & 1);
    // Every slot up to i is read and rewritten, so j is not revealed
    // through the memory access pattern.
    int32_t cj = 0;
    for (int k = 0; k <= i; ++k) {
      const int32_t hit = -static_cast<int32_t>(static_cast<uint32_t>(k) == j);
      cj |= c.c[k] & hit;
      c.c[k] = (c.c[k] & ~hit) | (sign & hit);
    }
    // When j == i the new sign is what lands in c[i].
    const int32_t self = -static_cast<int32_t>(static_cast<uint32_t>(i) == j);
    c.c[i] = (cj & ~self) | (sign & self);
  }
}

}  // namespace portable

}  // namespace mldsa::detail
