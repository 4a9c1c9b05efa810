// The prime table: Montgomery constants, a root of unity of order 1024 for
// each prime, its powers in bit-reversed order, and the constants of Garner's
// reconstruction. Everything here depends on public constants only and is
// computed once per process.
#include "modp.hpp"

#include <vector>

#include "dispatch.hpp"
#include "ntru_sizes.hpp"

namespace fndsa::kgen {
namespace {

constexpr uint32_t kPrimes[kPrimeCount] = {
#include "primes.inc"
};

unsigned reverse_bits(unsigned k, unsigned bits) noexcept {
  unsigned r = 0;
  for (unsigned i = 0; i < bits; ++i, k >>= 1) r = (r << 1) | (k & 1);
  return r;
}

Modp make_modp(uint32_t p) noexcept {
  Modp m{};
  m.p = p;
  uint32_t inv = p;  // Newton: each step doubles the correct low bits
  for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;
  m.neg_inv = 0u - inv;
  m.r_mod = static_cast<uint32_t>((uint64_t{1} << 32) % p);
  m.r2_mod = static_cast<uint32_t>(static_cast<uint64_t>(m.r_mod) * m.r_mod % p);
  m.two31 = static_cast<uint32_t>((uint64_t{1} << 63) % p);
  return m;
}

// Transform size a prime must support: the shallowest depth that uses it.
unsigned max_logn_of(size_t i) noexcept {
  for (unsigned d = 0; d < kDepth; ++d)
    if (i < primes_at_depth(d)) return kDepth - d;
  return 0;
}

}  // namespace

void init_prime_ctx(PrimeCtx& c, uint32_t p, uint32_t psi_plain, unsigned max_logn, uint32_t* roots,
                    uint32_t* iroots) noexcept {
  c.m = make_modp(p);
  const Modp& m = c.m;
  c.max_logn = max_logn;
  // A transform of size 2^L uses the root psi^(512 >> L); in bit-reversed
  // order those powers are the first 2^L entries of the 512-point table.
  const uint32_t psi = m.to_mont(psi_plain), ipsi = m.inv_mont(psi);
  for (size_t k = 0; k < (size_t{1} << max_logn); ++k) {
    const unsigned e = reverse_bits(static_cast<unsigned>(k), kDepth);
    roots[k] = m.pow_mont(psi, e);
    iroots[k] = m.pow_mont(ipsi, e);
  }
  c.roots = roots;
  c.iroots = iroots;
  const uint32_t inv2 = m.inv_mont(m.to_mont(2));
  uint32_t acc = m.r_mod;
  for (unsigned l = 0; l < 10; ++l) {
    c.inv_n[l] = acc;
    c.inv_n_r[l] = m.mont(acc, m.r2_mod);
    acc = m.mont(acc, inv2);
  }
  c.garner = 0;
  c.below = nullptr;
  c.prefix = nullptr;
}

namespace {

struct Table {
  PrimeCtx ctx[kPrimeCount];
  PrimeColumns columns;
  std::vector<uint32_t> pool;

  Table() {
    size_t total = 0;
    for (size_t i = 0; i < kPrimeCount; ++i) total += (size_t{2} << max_logn_of(i)) + 2 * i;
    pool.resize(total);
    uint32_t* w = pool.data();
    for (size_t i = 0; i < kPrimeCount; ++i) {
      PrimeCtx& c = ctx[i];
      const Modp m = make_modp(kPrimes[i]);
      // x^((p-1)/1024) has order exactly 1024 when its 512th power is -1.
      uint32_t psi = 0;
      for (uint32_t x = 2;; ++x) {
        psi = m.pow_mont(m.to_mont(x), (m.p - 1) >> 10);
        if (m.pow_mont(psi, 512) == m.p - m.r_mod) break;
      }
      const unsigned max_logn = max_logn_of(i);
      const size_t len = size_t{1} << max_logn;
      init_prime_ctx(c, kPrimes[i], m.mont(psi, 1), max_logn, w, w + len);
      w += 2 * len;
      // Garner: p_j mod p_i, the products p_0 ... p_{j-1} mod p_i and
      // 1/(p_0 ... p_{i-1}) mod p_i.
      uint32_t* below = w;
      uint32_t* prefix = w + i;
      w += 2 * i;
      uint32_t prod = m.r_mod;
      for (size_t j = 0; j < i; ++j) {
        prefix[j] = prod;
        below[j] = m.to_mont(kPrimes[j] % m.p);
        prod = m.mont(prod, below[j]);
      }
      c.below = below;
      c.prefix = prefix;
      c.garner = m.inv_mont(prod);
    }
    for (size_t i = 0; i < kPrimeCount + 8; ++i) {
      const Modp& m = ctx[i < kPrimeCount ? i : kPrimeCount - 1].m;
      columns.p[i] = m.p;
      columns.neg_inv[i] = m.neg_inv;
      columns.two31[i] = m.two31;
    }
  }
};

const Table& table() noexcept {
  static const Table t;
  return t;
}

}  // namespace

const PrimeCtx& prime(size_t i) noexcept { return table().ctx[i]; }
const PrimeColumns& prime_columns() noexcept { return table().columns; }

// Cooley-Tukey butterflies, largest stride first: at each stage the block
// starting at 2 h b is split by the root of index (n / 2h) + b.
void ntt(const PrimeCtx& pc, uint32_t* a, unsigned logn) noexcept {
  if (logn >= 4 && detail::use_avx2()) return ntt_avx2(pc, a, logn);
  ntt_portable(pc, a, logn);
}

void intt(const PrimeCtx& pc, uint32_t* a, unsigned logn, bool undo_mont) noexcept {
  if (logn >= 4 && detail::use_avx2()) return intt_avx2(pc, a, logn, undo_mont);
  intt_portable(pc, a, logn, undo_mont);
}

void ntt_portable(const PrimeCtx& pc, uint32_t* a, unsigned logn) noexcept {
  const Modp& m = pc.m;
  const size_t n = size_t{1} << logn;
  for (size_t blocks = 1, h = n >> 1; h >= 1; blocks <<= 1, h >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const uint32_t z = pc.roots[blocks + b];
      uint32_t* lo = a + 2 * h * b;
      uint32_t* hi = lo + h;
      for (size_t j = 0; j < h; ++j) {
        const uint32_t t = m.mont(hi[j], z);
        hi[j] = m.sub(lo[j], t);
        lo[j] = m.add(lo[j], t);
      }
    }
  }
}

// Gentleman-Sande butterflies undo the stages in reverse order; the factor
// 1/n (and R when asked) is applied at the end.
void intt_portable(const PrimeCtx& pc, uint32_t* a, unsigned logn, bool undo_mont) noexcept {
  const Modp& m = pc.m;
  const size_t n = size_t{1} << logn;
  for (size_t h = 1, blocks = n >> 1; blocks >= 1; h <<= 1, blocks >>= 1) {
    for (size_t b = 0; b < blocks; ++b) {
      const uint32_t z = pc.iroots[blocks + b];
      uint32_t* lo = a + 2 * h * b;
      uint32_t* hi = lo + h;
      for (size_t j = 0; j < h; ++j) {
        const uint32_t u = lo[j], v = hi[j];
        lo[j] = m.add(u, v);
        hi[j] = m.mont(m.sub(u, v), z);
      }
    }
  }
  const uint32_t s = undo_mont ? pc.inv_n_r[logn] : pc.inv_n[logn];
  for (size_t j = 0; j < n; ++j) a[j] = m.mont(a[j], s);
}

// Running products c_i = b_0 ... b_i, one inversion of c_{n-1}, then
// 1/b_i = c_{i-1} / c_i going down: three products per value. An inverse is
// unique, so every path gives the same words when no b_i is zero.
void invert_all(const Modp& m, const uint32_t* b, uint32_t* inv, size_t n, uint32_t* scratch) noexcept {
  if (n % 8 == 0 && detail::use_avx2()) {
    for (size_t i = 0; i < n; ++i) inv[i] = m.r_mod;  // R / b_i is 1/b_i in Montgomery form
    return div_avx2(m, inv, b, n, scratch);
  }
  uint32_t run = m.to_mont(b[0]);
  scratch[0] = run;
  for (size_t i = 1; i < n; ++i) scratch[i] = run = m.mont(run, m.to_mont(b[i]));
  uint32_t t = m.inv_mont(run);
  for (size_t i = n - 1; i > 0; --i) {
    inv[i] = m.mont(t, scratch[i - 1]);
    t = m.mont(t, m.to_mont(b[i]));
  }
  inv[0] = t;
}

}  // namespace fndsa::kgen
