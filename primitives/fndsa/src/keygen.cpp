// Key-pair generation: f and g from a SHAKE256 stream with a table-based
// Gaussian sampler, the orthogonalized-norm test in fixed point, then the
// NTRU equation f G - g F = q solved by descending the tower of field
// norms (residue arithmetic modulo 31-bit primes, big integers in 31-bit
// limbs) and lifting F back with fixed-point Babai reduction at each level.
// No floating point is involved, and no branch depends on secret data
// except the rejection of a candidate (f, g).
#include <cstring>
#include <memory>
#include <vector>

#include "fxp.hpp"
#include "internal.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa {

using namespace detail;

namespace {

// ---------------------------------------------------------------------------
// Arithmetic modulo a 31-bit prime, Montgomery multiplication with R = 2^32.

constexpr uint32_t kPrimeValues[] = {
#include "primes.inc"
};
constexpr size_t kNumPrimes = sizeof kPrimeValues / sizeof kPrimeValues[0];

inline uint32_t tbmask(uint32_t x) noexcept { return static_cast<uint32_t>(static_cast<int32_t>(x) >> 31); }

struct Prime {
  uint32_t p;
  uint32_t p0i;  // -1/p mod 2^32
  uint32_t r2;   // 2^64 mod p
  uint32_t r;    // 2^32 mod p
  uint32_t c31;  // 2^31 in Montgomery form
  uint32_t g;    // primitive 2048-th root of 1 (plain)

  uint32_t add(uint32_t a, uint32_t b) const noexcept {
    uint32_t d = a + b - p;
    return d + (p & tbmask(d));
  }
  uint32_t sub(uint32_t a, uint32_t b) const noexcept {
    uint32_t d = a - b;
    return d + (p & tbmask(d));
  }
  uint32_t half(uint32_t a) const noexcept { return (a + (p & (0u - (a & 1)))) >> 1; }
  // a * b / 2^32 mod p
  uint32_t mmul(uint32_t a, uint32_t b) const noexcept {
    uint64_t z = static_cast<uint64_t>(a) * b;
    uint32_t w = static_cast<uint32_t>(z) * p0i;
    uint32_t d = static_cast<uint32_t>((z + static_cast<uint64_t>(w) * p) >> 32) - p;
    return d + (p & tbmask(d));
  }
  uint32_t mul(uint32_t a, uint32_t b) const noexcept { return mmul(mmul(a, b), r2); }
  // v in [-(p-1), p-1]
  uint32_t set(int32_t v) const noexcept {
    uint32_t w = static_cast<uint32_t>(v);
    return w + (p & tbmask(w));
  }
  int32_t norm(uint32_t x) const noexcept {
    uint32_t d = x - (p & tbmask(((p - 1) >> 1) - x));
    return static_cast<int32_t>(d);
  }
  uint32_t pow(uint32_t b, uint32_t e) const noexcept {  // plain in and out
    uint32_t rr = r;
    uint32_t bb = mmul(b, r2);
    for (int i = 31; i >= 0; --i) {
      rr = mmul(rr, rr);
      uint32_t t = mmul(rr, bb);
      uint32_t m = 0u - ((e >> i) & 1u);
      rr = (t & m) | (rr & ~m);
    }
    return mmul(rr, 1);
  }
  uint32_t inv(uint32_t x) const noexcept { return pow(x, p - 2); }
};

struct PrimeSet {
  Prime pr[kNumPrimes];
  // Garner coefficients: inv[i] = 1 / (p_0 ... p_{i-1}) mod p_i, and the
  // products prod[i] = p_0 ... p_{i-1} in i limbs (prod_off[i] locates them).
  uint32_t garner[kNumPrimes];
  std::vector<uint32_t> prod;
  size_t prod_off[kNumPrimes + 1];  // prod[kNumPrimes] ends the array
};

PrimeSet make_primes() {
  PrimeSet s;
  for (size_t i = 0; i < kNumPrimes; ++i) {
    Prime& P = s.pr[i];
    P.p = kPrimeValues[i];
    uint32_t y = 2 - P.p;  // Newton iteration for 1/p mod 2^32
    for (int k = 0; k < 5; ++k) y *= 2 - P.p * y;
    P.p0i = 0u - y;
    P.r = static_cast<uint32_t>((uint64_t{1} << 32) % P.p);
    P.r2 = static_cast<uint32_t>((static_cast<unsigned __int128>(1) << 64) % P.p);
    P.c31 = static_cast<uint32_t>((uint64_t{1} << 63) % P.p);
    for (uint32_t x = 2;; ++x) {
      uint32_t g = P.pow(x, (P.p - 1) >> 11);
      if (P.pow(g, 1024) == P.p - 1) {
        P.g = g;
        break;
      }
    }
  }
  // Products of the leading primes: prod[i] = p_0 ... p_{i-1} in max(i, 1)
  // limbs, for i = 0 .. kNumPrimes.
  std::vector<uint32_t> cur(kNumPrimes + 1, 0);
  cur[0] = 1;
  for (size_t i = 0; i <= kNumPrimes; ++i) {
    s.prod_off[i] = s.prod.size();
    const size_t len = i == 0 ? 1 : i;
    s.prod.insert(s.prod.end(), cur.begin(), cur.begin() + static_cast<ptrdiff_t>(len));
    if (i == kNumPrimes) break;
    const Prime& P = s.pr[i];
    uint64_t m = 0;
    for (size_t j = len; j-- > 0;) m = ((m << 31) + cur[j]) % P.p;
    s.garner[i] = P.inv(static_cast<uint32_t>(m));
    uint64_t carry = 0;
    for (size_t j = 0; j <= i; ++j) {
      uint64_t z = static_cast<uint64_t>(cur[j]) * P.p + carry;
      cur[j] = static_cast<uint32_t>(z) & 0x7FFFFFFF;
      carry = z >> 31;
    }
  }
  return s;
}

const PrimeSet& primes() {
  static const PrimeSet s = make_primes();
  return s;
}

// NTT over Z_p[X]/(X^n+1) with the same root order as the mod-q NTT:
// output k holds the value at psi^(2 rev(k) + 1), psi^n = -1.
struct NttTables {
  std::vector<uint32_t> gm, igm;  // Montgomery forms
  uint32_t ninv;                  // 1/n, Montgomery form
};

unsigned rev_bits(unsigned k, unsigned bits) noexcept {
  unsigned r = 0;
  for (unsigned i = 0; i < bits; ++i) r |= ((k >> i) & 1u) << (bits - 1 - i);
  return r;
}

NttTables make_ntt(const Prime& P, unsigned logn) {
  const size_t n = size_t{1} << logn;
  NttTables t;
  t.gm.resize(n);
  t.igm.resize(n);
  uint32_t psi = P.g;
  for (unsigned i = logn; i < 10; ++i) psi = P.mul(psi, psi);
  const uint32_t mpsi = P.mmul(psi, P.r2), mipsi = P.mmul(P.inv(psi), P.r2);
  uint32_t x = P.r, y = P.r;  // Montgomery forms of psi^k and psi^-k
  for (size_t k = 0; k < n; ++k) {
    const size_t e = logn == 0 ? 0 : rev_bits(static_cast<unsigned>(k), logn);
    t.gm[e] = x;
    t.igm[e] = y;
    x = P.mmul(x, mpsi);
    y = P.mmul(y, mipsi);
  }
  t.ninv = P.mmul(P.inv(static_cast<uint32_t>(n % P.p)), P.r2);
  return t;
}

void mp_ntt(uint32_t* a, unsigned logn, const NttTables& t, const Prime& P) noexcept {
  const size_t n = size_t{1} << logn;
  size_t k = 1;
  for (size_t len = n / 2; len >= 1; len >>= 1) {
    for (size_t start = 0; start < n; start += 2 * len) {
      const uint32_t z = t.gm[k++];
      for (size_t j = start; j < start + len; ++j) {
        uint32_t x = P.mmul(a[j + len], z);
        uint32_t u = a[j];
        a[j] = P.add(u, x);
        a[j + len] = P.sub(u, x);
      }
    }
  }
}

void mp_intt(uint32_t* a, unsigned logn, const NttTables& t, const Prime& P) noexcept {
  const size_t n = size_t{1} << logn;
  size_t k = n;
  for (size_t len = 1; len < n; len <<= 1) {
    const size_t groups = n / (2 * len);
    k -= groups;
    for (size_t g = 0; g < groups; ++g) {
      const uint32_t z = t.igm[k + g];
      const size_t start = g * 2 * len;
      for (size_t j = start; j < start + len; ++j) {
        uint32_t u = a[j], v = a[j + len];
        a[j] = P.add(u, v);
        a[j + len] = P.mmul(P.sub(u, v), z);
      }
    }
  }
  for (size_t i = 0; i < n; ++i) a[i] = P.mmul(a[i], t.ninv);
}

// ---------------------------------------------------------------------------
// Big integers: little-endian 31-bit limbs, two's complement over the limbs
// of the value. Polynomials are stored coefficient after coefficient.

uint32_t mod_unsigned(const uint32_t* x, size_t len, const Prime& P) noexcept {
  uint32_t r = 0;
  for (size_t j = len; j-- > 0;) {
    uint32_t w = x[j] - P.p;
    w += P.p & tbmask(w);
    r = P.add(P.mmul(r, P.c31), w);
  }
  return r;
}

uint32_t mod_signed(const uint32_t* x, size_t len, const Prime& P) noexcept {
  if (len == 0) return 0;
  uint32_t r = mod_unsigned(x, len, P);
  // 2^(31 len) mod p
  uint32_t rx = P.r;  // Montgomery form of 1
  for (size_t j = 0; j < len; ++j) rx = P.mmul(rx, P.c31);
  rx = P.mmul(rx, 1);
  return P.sub(r, rx & (0u - (x[len - 1] >> 30)));
}

// Rebuilds a value from its residues modulo the first k primes (Garner), in
// k limbs; `signed_out` maps it into [-M/2, M/2].
void crt_rebuild(const uint32_t* res, size_t k, uint32_t* x, bool signed_out) noexcept {
  const PrimeSet& ps = primes();
  std::memset(x, 0, k * sizeof(uint32_t));
  x[0] = res[0];
  for (size_t i = 1; i < k; ++i) {
    const Prime& P = ps.pr[i];
    uint32_t xm = mod_unsigned(x, i, P);
    uint32_t t = P.mul(P.sub(res[i], xm), ps.garner[i]);
    const uint32_t* m = ps.prod.data() + ps.prod_off[i];
    uint32_t carry = 0;
    for (size_t j = 0; j < i; ++j) {
      uint64_t z = static_cast<uint64_t>(m[j]) * t + x[j] + carry;
      x[j] = static_cast<uint32_t>(z) & 0x7FFFFFFF;
      carry = static_cast<uint32_t>(z >> 31);
    }
    x[i] = carry;
  }
  if (!signed_out) return;
  // Subtract M when x > M/2, that is when M - 2x < 0 (M odd).
  const uint32_t* m = ps.prod.data() + ps.prod_off[k];
  const size_t mlen = k;
  uint32_t cc = 0;  // borrow of M - 2x
  uint32_t prev = 0;
  for (size_t j = 0; j < k; ++j) {
    uint32_t x2 = ((x[j] << 1) | (prev >> 30)) & 0x7FFFFFFF;
    prev = x[j];
    uint32_t mw = j < mlen ? m[j] : 0;
    uint32_t d = mw - x2 - cc;
    cc = d >> 31;
  }
  {
    uint32_t d = 0 - (prev >> 30) - cc;  // top bit of 2x
    cc = d >> 31;
  }
  const uint32_t mask = 0u - cc;
  uint32_t bw = 0;
  for (size_t j = 0; j < k; ++j) {
    uint32_t mw = j < mlen ? m[j] : 0;
    uint32_t d = x[j] - (mw & mask) - bw;
    x[j] = d & 0x7FFFFFFF;
    bw = d >> 31;
  }
}

// Top bit (sign) of a value as a full mask.
inline uint32_t sign_mask(const uint32_t* x, size_t len) noexcept { return 0u - (x[len - 1] >> 30); }

// F <- F - P * 2^sc modulo 2^(31 Flen); P signed with plen limbs.
void sub_scaled(uint32_t* F, size_t Flen, const uint32_t* P, size_t plen, uint32_t sc) noexcept {
  const size_t sch = sc / 31;
  const unsigned scl = sc % 31;
  if (sch >= Flen) return;
  const uint32_t ext = sign_mask(P, plen) & 0x7FFFFFFF;
  uint32_t cc = 0;
  uint32_t prev = 0;  // previous (lower) limb of P
  for (size_t j = sch; j < Flen; ++j) {
    const size_t t = j - sch;
    const uint32_t w = t < plen ? P[t] : ext;
    const uint32_t sw = ((w << scl) | (scl == 0 ? 0 : (prev >> (31 - scl)))) & 0x7FFFFFFF;
    prev = w;
    const uint32_t d = F[j] - sw - cc;
    F[j] = d & 0x7FFFFFFF;
    cc = d >> 31;
  }
}

// out = k x over len + 1 limbs, x signed over len limbs.
void mul_small_signed(const uint32_t* x, size_t len, int32_t k, uint32_t* out) noexcept {
  const uint32_t neg = static_cast<uint32_t>(k) >> 31;
  const uint32_t ak = (static_cast<uint32_t>(k) ^ (0u - neg)) + neg;
  const uint32_t ext = sign_mask(x, len) & 0x7FFFFFFF;
  uint64_t carry = 0;
  for (size_t j = 0; j <= len; ++j) {
    const uint64_t z = static_cast<uint64_t>(j < len ? x[j] : ext) * ak + carry;
    out[j] = static_cast<uint32_t>(z) & 0x7FFFFFFF;
    carry = z >> 31;
  }
  uint32_t cc = neg;
  for (size_t j = 0; j <= len; ++j) {
    const uint32_t w = ((out[j] ^ (0u - neg)) & 0x7FFFFFFF) + cc;
    out[j] = w & 0x7FFFFFFF;
    cc = w >> 31;
  }
}

// Index and value of the highest limb that is not a sign extension, over
// all coefficients; the result is the maximal bit length.
uint32_t poly_max_bitlength(const uint32_t* x, size_t stride, size_t off, size_t xlen, size_t n) noexcept {
  uint32_t t = 0, tk = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t* c = x + i * stride + off;
    const uint32_t m = (0u - (c[xlen - 1] >> 30)) & 0x7FFFFFFF;
    uint32_t cv = 0, ck = 0;
    for (size_t j = 0; j < xlen; ++j) {
      const uint32_t w = c[j] ^ m;
      const uint32_t nz = ((w - 1) >> 31) - 1;
      cv ^= nz & (cv ^ w);
      ck ^= nz & (ck ^ static_cast<uint32_t>(j));
    }
    const uint32_t nz1 = tk - ck;
    const uint32_t nz2 = ((tk ^ ck) - 1) & (t - cv);
    const uint32_t nz = tbmask(nz1 | nz2);
    t ^= nz & (t ^ cv);
    tk ^= nz & (tk ^ ck);
  }
  const uint32_t bl = t == 0 ? 0 : 32 - static_cast<uint32_t>(__builtin_clz(t | 1));
  return 31 * tk + bl;
}

// Fixed-point approximation of x / 2^sc: the 64 bits of x from bit sc - 32,
// read from three limbs (limbs past the top are sign extension).
void poly_big_to_fixed(const uint32_t* x, size_t stride, size_t off, size_t flen, uint32_t sc, size_t n,
                       Fxr* d) noexcept {
  if (flen == 0) {
    for (size_t i = 0; i < n; ++i) d[i] = Fxr{0};
    return;
  }
  uint32_t sch = sc / 31, scl = sc % 31;
  if (scl == 0) {
    sch -= 1;  // may wrap: then no limb lies below
    scl = 31;
  }
  for (size_t i = 0; i < n; ++i) {
    const uint32_t* c = x + i * stride + off;
    const uint32_t ws = (0u - (c[flen - 1] >> 30)) >> 1;
    auto limb = [&](uint32_t idx) -> uint32_t {
      // idx may be "-1" (wrapped): treated as zero
      if (idx == 0xFFFFFFFFu || idx == 0xFFFFFFFEu) return 0;
      return idx < flen ? c[idx] : ws;
    };
    const uint32_t w0 = limb(sch - 1);
    const uint32_t w1 = limb(sch);
    uint32_t w2 = limb(sch + 1);
    w2 |= (w2 & 0x40000000) << 1;
    const uint32_t xl = (w0 >> (scl - 1)) | (w1 << (32 - scl));
    const uint32_t xh = (w1 >> scl) | (w2 << (31 - scl));
    d[i] = Fxr{static_cast<uint64_t>(xl) | (static_cast<uint64_t>(xh) << 32)};
  }
}

// ---------------------------------------------------------------------------

constexpr size_t kModSmall[11] = {1, 1, 2, 3, 4, 8, 14, 27, 53, 104, 207};
constexpr size_t kModLarge[10] = {1, 2, 3, 6, 11, 21, 40, 78, 155, 308};
constexpr size_t kWordWin[10] = {1, 1, 2, 2, 2, 3, 3, 4, 5, 7};
constexpr uint32_t kReduceBits = 9;  // for n = 512

struct Scratch {
  std::vector<uint32_t> v;
  explicit Scratch(size_t n = 0) : v(n, 0) {}
  ~Scratch() { wipe(); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  Scratch(Scratch&& o) noexcept { v.swap(o.v); }
  // The previous contents are wiped before they are released.
  Scratch& operator=(Scratch&& o) noexcept {
    wipe();
    v.swap(o.v);
    return *this;
  }
  void wipe() noexcept { zeroize::wipe(v.data(), v.size() * sizeof(uint32_t)); }
  uint32_t* data() noexcept { return v.data(); }
  uint32_t& operator[](size_t i) noexcept { return v[i]; }
};

struct FxScratch {
  std::vector<Fxr> v;
  explicit FxScratch(size_t n) : v(n, Fxr{0}) {}
  ~FxScratch() { zeroize::wipe(v.data(), v.size() * sizeof(Fxr)); }
  FxScratch(const FxScratch&) = delete;
  FxScratch& operator=(const FxScratch&) = delete;
  Fxr* data() noexcept { return v.data(); }
};

// The tower of field norms: level d holds f_d and g_d, n >> d coefficients
// of kModSmall[d] limbs each.
struct Tower {
  Scratch f[kLogN + 1], g[kLogN + 1];
};

// Residues of the level-d polynomial x modulo prime i, in NTT form.
void level_ntt(const uint32_t* x, size_t len, unsigned logn, const Prime& P, const NttTables& t,
               uint32_t* out) noexcept {
  const size_t n = size_t{1} << logn;
  for (size_t j = 0; j < n; ++j) out[j] = mod_signed(x + j * len, len, P);
  mp_ntt(out, logn, t, P);
}

void build_tower(const int8_t* f, const int8_t* g, Tower& tw) {
  const PrimeSet& ps = primes();
  tw.f[0] = Scratch(kN);
  tw.g[0] = Scratch(kN);
  for (size_t i = 0; i < kN; ++i) {
    tw.f[0][i] = static_cast<uint32_t>(static_cast<int32_t>(f[i])) & 0x7FFFFFFF;
    tw.g[0][i] = static_cast<uint32_t>(static_cast<int32_t>(g[i])) & 0x7FFFFFFF;
  }
  for (unsigned d = 0; d < kLogN; ++d) {
    const unsigned logn = kLogN - d;
    const size_t n = size_t{1} << logn, hn = n >> 1;
    const size_t slen = kModSmall[d], tlen = kModSmall[d + 1];
    const bool deepest = d + 1 == kLogN;
    Scratch rf(tlen * hn), rg(tlen * hn), a(n), res(tlen);
    for (size_t i = 0; i < tlen; ++i) {
      const Prime& P = ps.pr[i];
      NttTables t = make_ntt(P, logn);
      NttTables th = make_ntt(P, logn - 1);
      for (int which = 0; which < 2; ++which) {
        level_ntt((which ? tw.g[d] : tw.f[d]).data(), slen, logn, P, t, a.data());
        uint32_t* r = (which ? rg : rf).data() + i * hn;
        for (size_t j = 0; j < hn; ++j) r[j] = P.mul(a[2 * j], a[2 * j + 1]);
        mp_intt(r, logn - 1, th, P);
      }
    }
    tw.f[d + 1] = Scratch(hn * tlen);
    tw.g[d + 1] = Scratch(hn * tlen);
    for (int which = 0; which < 2; ++which) {
      Scratch& src = which ? rg : rf;
      Scratch& dst = which ? tw.g[d + 1] : tw.f[d + 1];
      for (size_t j = 0; j < hn; ++j) {
        for (size_t i = 0; i < tlen; ++i) res[i] = src[i * hn + j];
        crt_rebuild(res.data(), tlen, dst.data() + j * tlen, !deepest);
      }
    }
  }
}

// ---- constant-time big-integer helpers for the deepest level ----

// a - b over len limbs; returns the borrow.
uint32_t big_sub(uint32_t* a, const uint32_t* b, size_t len, uint32_t ctl) noexcept {
  uint32_t cc = 0;
  const uint32_t m = 0u - ctl;
  for (size_t j = 0; j < len; ++j) {
    uint32_t d = a[j] - (b[j] & m) - cc;
    a[j] = d & 0x7FFFFFFF;
    cc = d >> 31;
  }
  return cc;
}

uint32_t big_add(uint32_t* a, const uint32_t* b, size_t len, uint32_t ctl) noexcept {
  uint32_t cc = 0;
  const uint32_t m = 0u - ctl;
  for (size_t j = 0; j < len; ++j) {
    uint32_t d = a[j] + (b[j] & m) + cc;
    a[j] = d & 0x7FFFFFFF;
    cc = d >> 31;
  }
  return cc;
}

// 1 when a < b
uint32_t big_lt(const uint32_t* a, const uint32_t* b, size_t len) noexcept {
  uint32_t cc = 0;
  for (size_t j = 0; j < len; ++j) cc = (a[j] - b[j] - cc) >> 31;
  return cc;
}

void big_cswap(uint32_t* a, uint32_t* b, size_t len, uint32_t ctl) noexcept {
  const uint32_t m = 0u - ctl;
  for (size_t j = 0; j < len; ++j) {
    uint32_t t = m & (a[j] ^ b[j]);
    a[j] ^= t;
    b[j] ^= t;
  }
}

// a >>= 1, with `top` entering as the new highest bit.
void big_shr1(uint32_t* a, size_t len, uint32_t top) noexcept {
  for (size_t j = 0; j < len; ++j) {
    uint32_t next = j + 1 < len ? (a[j + 1] & 1) : top;
    a[j] = (a[j] >> 1) | (next << 30);
  }
}

// For odd m and any y < 2^(31 len): sets out = 1/y mod m and returns true
// when gcd(y, m) = 1 (binary extended GCD with a fixed number of rounds).
bool big_modinv(uint32_t* out, const uint32_t* y, const uint32_t* m, size_t len) {
  Scratch a(len), b(len), u(len), v(len);
  std::memcpy(a.data(), y, len * 4);
  std::memcpy(b.data(), m, len * 4);
  u[0] = 1;
  // a = y u, b = y v (mod m); len(a) + len(b) drops by one each round.
  for (size_t it = 0; it < 62 * len; ++it) {
    const uint32_t odd = a[0] & 1;
    const uint32_t sw = odd & big_lt(a.data(), b.data(), len);
    big_cswap(a.data(), b.data(), len, sw);
    big_cswap(u.data(), v.data(), len, sw);
    big_sub(a.data(), b.data(), len, odd);
    // u <- u - v mod m
    const uint32_t br = big_sub(u.data(), v.data(), len, odd);
    big_add(u.data(), m, len, br);
    big_shr1(a.data(), len, 0);
    // u <- u / 2 mod m
    const uint32_t c = big_add(u.data(), m, len, u[0] & 1);
    big_shr1(u.data(), len, c);
  }
  // gcd is in b
  uint32_t z = b[0] ^ 1;
  for (size_t j = 1; j < len; ++j) z |= b[j];
  std::memcpy(out, v.data(), len * 4);
  return z == 0;
}

// Deepest level: f_top G - g_top F = 1 for the two resultants, then F * q.
bool solve_deepest(const Tower& tw, Scratch& F) {
  const size_t len = kModSmall[kLogN];
  const uint32_t* x = tw.f[kLogN].v.data();
  const uint32_t* y = tw.g[kLogN].v.data();
  if ((x[0] & y[0] & 1) == 0) return false;
  // v = x - (1/y mod x) satisfies -y v = 1 mod x, so x u - y v = 1 for some u.
  Scratch w(len);
  if (!big_modinv(w.data(), y, x, len)) return false;
  F = Scratch(len);
  std::memcpy(F.data(), x, len * 4);
  big_sub(F.data(), w.data(), len, 1);
  uint32_t carry = 0;
  for (size_t j = 0; j < len; ++j) {
    uint64_t z = static_cast<uint64_t>(F[j]) * kQ + carry;
    F[j] = static_cast<uint32_t>(z) & 0x7FFFFFFF;
    carry = static_cast<uint32_t>(z >> 31);
  }
  return carry == 0;
}

// One level up: lift F from depth + 1 and reduce it against f_depth.
bool solve_intermediate(const Tower& tw, unsigned depth, Scratch& F) {
  const PrimeSet& ps = primes();
  const unsigned logn = kLogN - depth;
  const size_t n = size_t{1} << logn, hn = n >> 1;
  const size_t slen = kModSmall[depth], llen = kModLarge[depth], tlen = kModSmall[depth + 1];
  const uint32_t* fd = tw.f[depth].v.data();

  // Ft = F'(x^2) g(-x), exactly, in llen limbs.
  Scratch Ft(n * llen);
  {
    Scratch rt(llen * n), a(n), b(hn), res(llen);
    for (size_t i = 0; i < llen; ++i) {
      const Prime& P = ps.pr[i];
      NttTables t = make_ntt(P, logn);
      NttTables th = make_ntt(P, logn - 1);
      level_ntt(tw.g[depth].v.data(), slen, logn, P, t, a.data());
      for (size_t j = 0; j < hn; ++j) b[j] = mod_signed(F.data() + j * tlen, tlen, P);
      mp_ntt(b.data(), logn - 1, th, P);
      uint32_t* r = rt.data() + i * n;
      for (size_t j = 0; j < hn; ++j) {
        r[2 * j] = P.mul(a[2 * j + 1], b[j]);
        r[2 * j + 1] = P.mul(a[2 * j], b[j]);
      }
      mp_intt(r, logn, t, P);
    }
    for (size_t j = 0; j < n; ++j) {
      for (size_t i = 0; i < llen; ++i) res[i] = rt[i * n + j];
      crt_rebuild(res.data(), llen, Ft.data() + j * llen, true);
    }
  }

  // 2^scale_t / f, from the top limbs of f.
  const size_t rlen = kWordWin[depth];
  const size_t blen = slen - rlen;
  const uint32_t scale_fg = static_cast<uint32_t>(31 * blen);
  uint32_t scale_FG = static_cast<uint32_t>(31 * llen);
  FxScratch rt3(n), rt1(n);
  const uint32_t scale_x = poly_max_bitlength(fd, slen, blen, rlen, n);
  uint32_t scale_t = 15 - logn;
  scale_t ^= (scale_t ^ scale_x) & tbmask(scale_x - scale_t);
  poly_big_to_fixed(fd, slen, blen, rlen, scale_x - scale_t, n, rt3.data());
  fxp_fft(logn, rt3.data());
  fxp_inv_mul2e_fft(logn, rt3.data(), scale_t);

  // f in NTT form modulo the primes used for the products k f.
  const size_t plen = slen + 2;
  std::vector<NttTables> tabs;
  tabs.reserve(plen);
  Scratch fn(plen * n), kn(n), res(plen), kf(n * plen);
  for (size_t i = 0; i < plen && n > 16; ++i) {
    tabs.push_back(make_ntt(ps.pr[i], logn));
    level_ntt(fd, slen, logn, ps.pr[i], tabs[i], fn.data() + i * n);
  }
  Scratch kres(plen * n);

  size_t FGlen = llen;
  for (;;) {
    const uint32_t clen = scale_FG / 31, coff = scale_FG % 31;
    poly_big_to_fixed(Ft.data(), llen, clen, FGlen - clen, scale_x + coff, n, rt1.data());
    fxp_fft(logn, rt1.data());
    fxp_mul_fft(logn, rt1.data(), rt3.data());
    fxp_ifft(logn, rt1.data());
    const uint32_t scale_k = scale_FG - scale_fg;
    if (n <= 16) {
      // F -= k f 2^scale_k term by term (X^n = -1 wraps with a sign change).
      Scratch prod(slen + 1);
      for (size_t i = 0; i < n; ++i) {
        const int32_t ki = rt1.data()[i].round();
        for (size_t j = 0; j < n; ++j) {
          const size_t d = i + j;
          const int32_t kk = d < n ? ki : -ki;
          mul_small_signed(fd + j * slen, slen, kk, prod.data());
          sub_scaled(Ft.data() + (d & (n - 1)) * llen, FGlen, prod.data(), slen + 1, scale_k);
        }
      }
    } else {
    // k f, exactly
    for (size_t i = 0; i < plen; ++i) {
      const Prime& P = ps.pr[i];
      for (size_t j = 0; j < n; ++j) kn[j] = P.set(rt1.data()[j].round());
      mp_ntt(kn.data(), logn, tabs[i], P);
      uint32_t* r = kres.data() + i * n;
      for (size_t j = 0; j < n; ++j) r[j] = P.mul(kn[j], fn[i * n + j]);
      mp_intt(r, logn, tabs[i], P);
    }
    for (size_t j = 0; j < n; ++j) {
      for (size_t i = 0; i < plen; ++i) res[i] = kres[i * n + j];
      crt_rebuild(res.data(), plen, kf.data() + j * plen, true);
      sub_scaled(Ft.data() + j * llen, FGlen, kf.data() + j * plen, plen, scale_k);
    }
    }
    if (scale_FG <= scale_fg) break;
    scale_FG = scale_FG <= scale_fg + kReduceBits ? scale_fg : scale_FG - kReduceBits;
    while (FGlen > slen && 31 * (FGlen - slen) > scale_FG - scale_fg + 30) {
      --FGlen;
      for (size_t j = 0; j < n; ++j) {
        const uint32_t* c = Ft.data() + j * llen;
        const uint32_t sw = (0u - (c[FGlen - 1] >> 30)) >> 1;
        if (c[FGlen] != sw) return false;
      }
    }
  }
  Scratch out(n * slen);
  for (size_t j = 0; j < n; ++j) std::memcpy(out.data() + j * slen, Ft.data() + j * llen, slen * 4);
  F = std::move(out);
  return true;
}

// Top level: lift F, reduce it once more in fixed point against (f, g)
// with k = round((F adj f + G adj g) / (f adj f + g adj g)), all modulo the
// first prime, and recompute G = (q + g F) / f.
bool solve_depth0(const int8_t* f, const int8_t* g, const Scratch& F1, int8_t* Fo, int8_t* Go) {
  const Prime& P = primes().pr[0];
  constexpr unsigned logn = kLogN;
  constexpr size_t n = kN, hn = n / 2;
  NttTables t = make_ntt(P, logn);
  NttTables th = make_ntt(P, logn - 1);
  Scratch t1(n), t2(n), t3(n), fa(n), ga(n);
  for (size_t j = 0; j < hn; ++j) {
    uint32_t x = F1.v[j];
    t3[j] = P.set(static_cast<int32_t>(x | ((x & 0x40000000) << 1)));
  }
  mp_ntt(t3.data(), logn - 1, th, P);
  for (size_t j = 0; j < n; ++j) {
    ga[j] = P.set(g[j]);
    fa[j] = P.set(f[j]);
  }
  mp_ntt(ga.data(), logn, t, P);
  mp_ntt(fa.data(), logn, t, P);
  for (size_t j = 0; j < hn; ++j) {
    t1[2 * j] = P.mul(ga[2 * j + 1], t3[j]);
    t1[2 * j + 1] = P.mul(ga[2 * j], t3[j]);
  }
  uint32_t zero = 0;
  for (size_t j = 0; j < n; ++j) zero |= ((fa[j] - 1) >> 31);  // fa[j] == 0
  if (zero != 0) return false;
  const uint32_t q = kQ;
  for (size_t i = 0; i < hn; ++i) {
    const size_t c = n - 1 - i;  // the conjugate point
    const uint32_t tf0 = fa[i], tf1 = fa[c], tg0 = ga[i], tg1 = ga[c], tF0 = t1[i], tF1 = t1[c];
    const uint32_t tG0 = P.mul(P.add(q, P.mul(tg0, tF0)), P.inv(tf0));
    const uint32_t tG1 = P.mul(P.add(q, P.mul(tg1, tF1)), P.inv(tf1));
    t2[i] = P.add(P.mul(tf1, tF0), P.mul(tg1, tG0));
    t2[c] = P.add(P.mul(tf0, tF1), P.mul(tg0, tG1));
    const uint32_t kd = P.add(P.mul(tf0, tf1), P.mul(tg0, tg1));
    t3[i] = kd;
    t3[c] = kd;
  }
  mp_intt(t2.data(), logn, t, P);
  mp_intt(t3.data(), logn, t, P);
  FxScratch fx(n + hn);
  Fxr* rt5 = fx.data();
  for (size_t i = 0; i < n; ++i) {
    rt5[i] = Fxr{static_cast<uint64_t>(static_cast<int64_t>(P.norm(t3[i])) << 22)};
  }
  fxp_fft(logn, rt5);
  Fxr* rt3 = fx.data() + hn;
  for (size_t i = 0; i < n; ++i) {
    rt3[i] = Fxr{static_cast<uint64_t>(static_cast<int64_t>(P.norm(t2[i])) << 22)};
  }
  fxp_fft(logn, rt3);
  for (size_t i = 0; i < hn; ++i) {
    const Fxr c = rt5[i];
    rt3[i] = rt3[i] / c;
    rt3[i + hn] = rt3[i + hn] / c;
  }
  fxp_ifft(logn, rt3);
  for (size_t i = 0; i < n; ++i) t2[i] = P.set(rt3[i].round());
  mp_ntt(t2.data(), logn, t, P);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t tF = P.sub(t1[i], P.mul(fa[i], t2[i]));
    const uint32_t tG = P.mul(P.add(q, P.mul(ga[i], tF)), P.inv(fa[i]));
    t1[i] = tF;
    t2[i] = tG;
  }
  mp_intt(t1.data(), logn, t, P);
  mp_intt(t2.data(), logn, t, P);
  uint32_t bad = 0;
  for (size_t i = 0; i < n; ++i) {
    const int32_t a = P.norm(t1[i]), b = P.norm(t2[i]);
    bad |= static_cast<uint32_t>(a + 127) | static_cast<uint32_t>(127 - a);
    bad |= static_cast<uint32_t>(b + 127) | static_cast<uint32_t>(127 - b);
    Fo[i] = static_cast<int8_t>(a);
    Go[i] = static_cast<int8_t>(b);
  }
  return (bad >> 31) == 0;
}

bool solve_ntru(const int8_t* f, const int8_t* g, int8_t* F, int8_t* G) {
  auto tw = std::make_unique<Tower>();
  build_tower(f, g, *tw);
  Scratch Fcur;
  if (!solve_deepest(*tw, Fcur)) return false;
  for (unsigned depth = kLogN - 1; depth >= 1; --depth) {
    if (!solve_intermediate(*tw, depth, Fcur)) return false;
  }
  return solve_depth0(f, g, Fcur, F, G);
}

// Squared norm of (q adj f / (f adj f + g adj g), q adj g / (...)) must be
// below 16788.78 (just under 1.17^2 q), in fixed point.
bool check_ortho_norm(const int8_t* f, const int8_t* g) {
  constexpr unsigned logn = kLogN;
  FxScratch fx(kN), gx(kN), rt(kN / 2);
  for (size_t i = 0; i < kN; ++i) {
    fx.data()[i] = Fxr::of_int(f[i]);
    gx.data()[i] = Fxr::of_int(g[i]);
  }
  fxp_fft(logn, fx.data());
  fxp_fft(logn, gx.data());
  const size_t hn = kN / 2;
  for (size_t i = 0; i < hn; ++i) {
    const Fxr z1 = fx.data()[i].sqr() + fx.data()[i + hn].sqr();
    const Fxr z2 = gx.data()[i].sqr() + gx.data()[i + hn].sqr();
    rt.data()[i] = Fxr::of_int(1) / (z1 + z2);
  }
  const Fxr qq = Fxr::of_int(static_cast<int32_t>(kQ));
  for (Fxr* p : {fx.data(), gx.data()}) {
    for (size_t i = hn; i < kN; ++i) p[i] = -p[i];
    for (size_t i = 0; i < kN; ++i) p[i] = p[i] * qq;
    for (size_t i = 0; i < hn; ++i) {
      p[i] = p[i] * rt.data()[i];
      p[i + hn] = p[i + hn] * rt.data()[i];
    }
    fxp_ifft(logn, p);
  }
  Fxr sn{0};
  for (size_t i = 0; i < kN; ++i) sn = sn + fx.data()[i].sqr() + gx.data()[i].sqr();
  return sn < Fxr{72107278641426};
}

// Half-Gaussian CDT for sigma = 1.17 sqrt(q / 1024), 15-bit values.
constexpr uint16_t kKgDist[17] = {29543, 23286, 17574, 12669, 8706, 5692, 3535, 2083, 1164,
                                  615,   308,   146,   65,    28,   11,   4,    1};

// Coefficients of f (or g), with an odd sum.
void sample_poly(ShakePrng& rng, int8_t* f) noexcept {
  uint32_t parity = 0;
  size_t i = 0;
  while (i < kN) {
    const uint32_t u = rng.next_u16();
    const uint32_t v = u >> 1;
    uint32_t a = 0;
    for (uint16_t t : kKgDist) a -= (v - t) & 0xFFFF0000u;
    a -= (a << 1) & (0u - (u & 1));
    const int32_t ai = static_cast<int32_t>(a) >> 16;
    if (i == kN - 1) {
      if (((parity ^ static_cast<uint32_t>(ai)) & 1) != 1) continue;
    } else {
      parity ^= static_cast<uint32_t>(ai);
    }
    f[i++] = static_cast<int8_t>(ai);
  }
}

struct KeyScratch {
  int8_t f[kN], g[kN], F[kN], G[kN];
  uint16_t h[kN], t[kN];
  ~KeyScratch() { zeroize::wipe(this, sizeof *this); }
};

}  // namespace

void keygen_from_seed(const uint8_t seed[32], uint8_t sk[kSigningKeySize], uint8_t vk[kVerifyingKeySize]) noexcept {
  auto ks = std::make_unique<KeyScratch>();
  {
    ShakePrng rng(seed, 32);
    for (;;) {
      sample_poly(rng, ks->f);
      small_to_modq(ks->f, ks->t);
      ntt(ks->t);
      if (!ntt_invertible(ks->t)) continue;
      sample_poly(rng, ks->g);
      int32_t sn = 0;
      for (size_t i = 0; i < kN; ++i) sn += ks->f[i] * ks->f[i] + ks->g[i] * ks->g[i];
      if (sn >= 16823) continue;
      if (!check_ortho_norm(ks->f, ks->g)) continue;
      if (solve_ntru(ks->f, ks->g, ks->F, ks->G)) break;
    }
  }
  // h = g / f in NTT form
  small_to_modq(ks->g, ks->h);
  ntt(ks->h);
  small_to_modq(ks->f, ks->t);
  ntt(ks->t);
  ntt_div(ks->h, ks->t);
  vk[0] = 0x00 + kLogN;
  modq_encode(ks->h, vk + 1);
  sk[0] = 0x50 + kLogN;
  size_t j = 1;
  j += trim_i8_encode(ks->f, kN, 6, sk + j);
  j += trim_i8_encode(ks->g, kN, 6, sk + j);
  j += trim_i8_encode(ks->F, kN, 8, sk + j);
  hash_verifying_key(std::span<const uint8_t>(vk, kVerifyingKeySize), sk + j);
}

}  // namespace fndsa
