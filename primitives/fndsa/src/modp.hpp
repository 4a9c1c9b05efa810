// Arithmetic modulo the 31-bit primes p = 1 mod 2048 that carry the exact
// integer computations of key generation (residue number system), and the
// negacyclic NTT over Z_p[X]/(X^n + 1) for n up to 512.
//
// Values live in [0, p). Products use Montgomery reduction with R = 2^32:
// mont(a, b) = a b / R mod p, so a constant stored as c R mod p
// ("Montgomery form") multiplies a plain value without any extra factor.
// Every operation is branch-free: the final conditional subtraction of a
// reduction is a mask built from the borrow.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ct_word.hpp"

namespace fndsa::kgen {

inline constexpr uint32_t kLimbMask = 0x7FFFFFFF;  // big integers use 31-bit limbs

struct Modp {
  uint32_t p;
  uint32_t neg_inv;  // -1/p mod 2^32
  uint32_t r_mod;    // R mod p: Montgomery form of 1
  uint32_t r2_mod;   // R^2 mod p: turns a plain value into Montgomery form
  uint32_t two31;    // Montgomery form of 2^31, the limb radix

  uint32_t add(uint32_t a, uint32_t b) const noexcept {
    const uint32_t s = a + b - p;
    return s + (p & ct::top_mask(s));
  }
  uint32_t sub(uint32_t a, uint32_t b) const noexcept {
    const uint32_t d = a - b;
    return d + (p & ct::top_mask(d));
  }
  // x < 2p to [0, p).
  uint32_t fold(uint32_t x) const noexcept { return sub(x, p); }
  uint32_t mont(uint32_t a, uint32_t b) const noexcept {
    const uint64_t z = static_cast<uint64_t>(a) * b;
    const uint32_t k = static_cast<uint32_t>(z) * neg_inv;  // z + k p = 0 mod 2^32
    const uint32_t r = static_cast<uint32_t>((z + static_cast<uint64_t>(k) * p) >> 32);
    return sub(r, p);
  }
  uint32_t to_mont(uint32_t a) const noexcept { return mont(a, r2_mod); }
  // |v| < p.
  uint32_t from_signed(int32_t v) const noexcept {
    const uint32_t w = static_cast<uint32_t>(v);
    return w + (p & ct::top_mask(w));
  }
  // Centred representative in (-p/2, p/2).
  int32_t to_signed(uint32_t x) const noexcept {
    return static_cast<int32_t>(x - (p & ct::top_mask(((p - 1) >> 1) - x)));
  }
  // base^e with base and result in Montgomery form; e is public.
  uint32_t pow_mont(uint32_t base, uint32_t e) const noexcept {
    uint32_t acc = r_mod;
    for (; e != 0; e >>= 1) {
      if (e & 1) acc = mont(acc, base);
      base = mont(base, base);
    }
    return acc;
  }
  // 1/x for x in Montgomery form (Fermat); 0 maps to 0. The exponent is
  // public, so the square-and-multiply sequence is the same for every x.
  uint32_t inv_mont(uint32_t x) const noexcept { return pow_mont(x, p - 2); }
};

// One prime with its NTT tables and the constants of the Chinese remainder
// reconstruction.
struct PrimeCtx {
  Modp m;
  unsigned max_logn;       // largest transform this prime serves
  const uint32_t* roots;   // psi^rev(k), Montgomery form, 2^max_logn entries
  const uint32_t* iroots;  // psi^-rev(k), Montgomery form
  uint32_t inv_n[10];      // Montgomery form of 1/2^logn
  uint32_t inv_n_r[10];    // Montgomery form of R/2^logn (undoes one mont())
  uint32_t garner;         // Montgomery form of 1/(p_0 ... p_{i-1}) mod p_i
  const uint32_t* below;   // Montgomery form of p_j mod p_i, for j < i
  const uint32_t* prefix;  // Montgomery form of p_0 ... p_{j-1} mod p_i, for j < i
};

// A context for prime p < 2^31 with psi of order 1024 (plain value), for
// transforms up to 2^max_logn points; roots and iroots receive 2^max_logn
// entries each. Garner constants are left empty.
void init_prime_ctx(PrimeCtx& c, uint32_t p, uint32_t psi, unsigned max_logn, uint32_t* roots,
                    uint32_t* iroots) noexcept;

inline constexpr size_t kPrimeCount = 160;
// The primes in use, decreasing (index 0 is the largest); built once.
const PrimeCtx& prime(size_t i) noexcept;

// The Montgomery constants of all the primes side by side, for kernels that
// put one prime in each lane (8 spare entries at the end repeat the last
// prime, so that eight lanes may be loaded from any index below
// kPrimeCount).
struct PrimeColumns {
  uint32_t p[kPrimeCount + 8], neg_inv[kPrimeCount + 8], two31[kPrimeCount + 8];
};
const PrimeColumns& prime_columns() noexcept;

// In-place negacyclic NTT of 2^logn values: output k is the value at
// psi^(2 rev(k) + 1), so outputs 2j and 2j + 1 sit at opposite points w, -w
// and output n - 1 - k at the inverse point of output k.
void ntt(const PrimeCtx& pc, uint32_t* a, unsigned logn) noexcept;
// Inverse; `undo_mont` also removes the 1/R left by one mont() product.
void intt(const PrimeCtx& pc, uint32_t* a, unsigned logn, bool undo_mont) noexcept;

// The same transforms on AVX2, for 2^logn >= 16 values, with the same
// outputs; ntt() and intt() take them when the processor has AVX2.
void ntt_avx2(const PrimeCtx& pc, uint32_t* a, unsigned logn) noexcept;
void intt_avx2(const PrimeCtx& pc, uint32_t* a, unsigned logn, bool undo_mont) noexcept;
// a[i] <- a[i] / b[i] (plain values) on AVX2, n a multiple of 8; when some
// b[i] is zero the quotients are unspecified. `scratch` holds n words (left
// holding secrets: the caller wipes it).
void div_avx2(const Modp& m, uint32_t* a, const uint32_t* b, size_t n, uint32_t* scratch) noexcept;
// a[i] <- a[i] b[i] mod p for plain values below 2^16 on AVX2, n a multiple
// of 16.
void mul16_avx2(const Modp& m, uint16_t* a, const uint16_t* b, size_t n) noexcept;
// inv[i] <- 1/b[i] in Montgomery form for n plain values b[i], by one
// inversion of their product (on AVX2 for n a multiple of 8); when some
// b[i] is zero the results are unspecified. `scratch` holds n words (left
// holding secrets: the caller wipes it).
void invert_all(const Modp& m, const uint32_t* b, uint32_t* inv, size_t n, uint32_t* scratch) noexcept;
// The portable transforms alone (for the tests that compare the paths).
void ntt_portable(const PrimeCtx& pc, uint32_t* a, unsigned logn) noexcept;
void intt_portable(const PrimeCtx& pc, uint32_t* a, unsigned logn, bool undo_mont) noexcept;

}  // namespace fndsa::kgen
