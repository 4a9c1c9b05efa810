// Polynomials modulo q = 12289 over X^512 + 1, through a negacyclic NTT.
// All reductions go through multiplications by constants (no data-dependent
// branch or division), since f, g and F pass through here.
#include <array>

#include "internal.hpp"

namespace fndsa::detail {
namespace {

constexpr uint32_t kRoot = 49;  // primitive 1024-th root of unity mod q

constexpr uint32_t red(uint32_t x) noexcept { return x % kQ; }  // constant divisor
constexpr uint32_t mmul(uint32_t a, uint32_t b) noexcept { return red(a * b); }
constexpr uint32_t madd(uint32_t a, uint32_t b) noexcept {
  uint32_t s = a + b - kQ;
  return s + (kQ & (0u - (s >> 31)));
}
constexpr uint32_t msub(uint32_t a, uint32_t b) noexcept {
  uint32_t s = a - b;
  return s + (kQ & (0u - (s >> 31)));
}
constexpr uint32_t mpow(uint32_t b, uint32_t e) noexcept {
  uint32_t r = 1;
  for (int i = 0; i < 16; ++i) {
    uint32_t m = 0u - ((e >> i) & 1u);
    uint32_t t = mmul(r, b);
    r = (t & m) | (r & ~m);
    b = mmul(b, b);
  }
  return r;
}

constexpr unsigned rev9(unsigned k) noexcept {
  unsigned r = 0;
  for (unsigned i = 0; i < 9; ++i) r |= ((k >> i) & 1u) << (8 - i);
  return r;
}

struct Tables {
  std::array<uint16_t, kN> zeta{};      // root^rev9(k)
  std::array<uint16_t, kN> zeta_inv{};  // root^-rev9(k)
  uint32_t n_inv = 0;
};

constexpr Tables make_tables() noexcept {
  Tables t;
  const uint32_t inv_root = mpow(kRoot, kQ - 2);
  for (unsigned k = 0; k < kN; ++k) {
    t.zeta[k] = static_cast<uint16_t>(mpow(kRoot, rev9(k)));
    t.zeta_inv[k] = static_cast<uint16_t>(mpow(inv_root, rev9(k)));
  }
  t.n_inv = mpow(kN, kQ - 2);
  return t;
}

constexpr Tables kTables = make_tables();

}  // namespace

void ntt(uint16_t* a) noexcept {
  size_t k = 1;
  for (size_t len = kN / 2; len >= 1; len >>= 1) {
    for (size_t start = 0; start < kN; start += 2 * len) {
      const uint32_t z = kTables.zeta[k++];
      for (size_t j = start; j < start + len; ++j) {
        uint32_t t = mmul(z, a[j + len]);
        uint32_t u = a[j];
        a[j] = static_cast<uint16_t>(madd(u, t));
        a[j + len] = static_cast<uint16_t>(msub(u, t));
      }
    }
  }
}

void intt(uint16_t* a) noexcept {
  size_t k = kN;
  for (size_t len = 1; len < kN; len <<= 1) {
    size_t groups = kN / (2 * len);
    k -= groups;
    for (size_t g = 0; g < groups; ++g) {
      const uint32_t z = kTables.zeta_inv[k + g];
      const size_t start = g * 2 * len;
      for (size_t j = start; j < start + len; ++j) {
        uint32_t u = a[j];
        uint32_t v = a[j + len];
        a[j] = static_cast<uint16_t>(madd(u, v));
        a[j + len] = static_cast<uint16_t>(mmul(z, msub(u, v)));
      }
    }
  }
  for (size_t i = 0; i < kN; ++i) a[i] = static_cast<uint16_t>(mmul(a[i], kTables.n_inv));
}

void small_to_modq(const int8_t* f, uint16_t* d) noexcept {
  for (size_t i = 0; i < kN; ++i) {
    uint32_t x = static_cast<uint32_t>(static_cast<int32_t>(f[i]));
    d[i] = static_cast<uint16_t>(x + (kQ & (0u - (x >> 31))));
  }
}

void ntt_mul(uint16_t* a, const uint16_t* b) noexcept {
  for (size_t i = 0; i < kN; ++i) a[i] = static_cast<uint16_t>(mmul(a[i], b[i]));
}

bool ntt_invertible(const uint16_t* a) noexcept {
  uint32_t z = 0;
  for (size_t i = 0; i < kN; ++i) z |= (uint32_t{a[i]} - 1u) >> 31;
  return z == 0;
}

bool ntt_div(uint16_t* a, const uint16_t* b) noexcept {
  bool ok = ntt_invertible(b);
  for (size_t i = 0; i < kN; ++i) a[i] = static_cast<uint16_t>(mmul(a[i], mpow(b[i], kQ - 2)));
  return ok;
}

bool modq_to_small(const uint16_t* d, int8_t* f) noexcept {
  uint32_t ov = 0;
  for (size_t i = 0; i < kN; ++i) {
    // Values in [-127, +127] map to [1, 255] after adding 128.
    uint32_t x = madd(d[i], 128);
    ov |= (x >> 8) | ((x - 1u) >> 31);
    f[i] = static_cast<int8_t>(static_cast<int32_t>(x) - 128);
  }
  return ov == 0;
}

}  // namespace fndsa::detail
