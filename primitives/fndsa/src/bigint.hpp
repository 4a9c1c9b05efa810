// Signed big integers for key generation: little-endian 31-bit limbs in
// 32-bit words, two's complement over the limbs (bit 30 of the top limb is
// the sign). A polynomial with big coefficients stores them one after the
// other, each with the same number of limbs. Lengths and shift amounts that
// come from the algorithm's fixed schedule are public; everything about the
// values themselves is handled without branches or secret indices.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modp.hpp"

namespace fndsa::kgen {

// All ones when x (len limbs) is negative.
inline uint32_t sign_of(const uint32_t* x, size_t len) noexcept { return 0u - (x[len - 1] >> 30); }

// x mod p for a signed x of len >= 1 limbs.
uint32_t residue(const Modp& m, const uint32_t* x, size_t len) noexcept;

// The residues of `count` consecutive coefficients of len limbs each.
void residues(const Modp& m, const uint32_t* x, size_t len, size_t count, uint32_t* out) noexcept;

// The residues of `count` coefficients modulo primes 0 .. np-1, prime-major
// (out[i * count + c]).
void residues_by_prime(const uint32_t* x, size_t len, size_t count, size_t np, uint32_t* out) noexcept;

// The AVX2 form, eight primes at a time; residues_by_prime() takes it when
// the processor has AVX2.
void residues_by_prime_avx2(const uint32_t* x, size_t len, size_t count, size_t np, uint32_t* out) noexcept;

// Words of working space that crt_rebuild() needs for k primes.
constexpr size_t crt_work_len(size_t k) noexcept { return 33 * (k + 1); }
// Rebuilds `count` integers from their residues modulo primes 0 .. k-1
// (residue i of integer c at res[i * stride + c]): each in [0, M), or when
// `centred` in (-M/2, M/2), with M the product of the k primes; integer c
// goes to out + c * out_stride in k limbs. `work` holds crt_work_len(k)
// words (left holding secrets: the caller wipes it).
void crt_rebuild(const uint32_t* res, size_t stride, size_t k, bool centred, size_t count, uint32_t* out,
                 size_t out_stride, uint32_t* work) noexcept;
// The AVX2 form for eight integers (out, out + out_stride, ...), given M in
// k limbs; crt_rebuild() takes it when the processor has AVX2. `work`
// holds 16 k words.
void crt_rebuild8_avx2(const uint32_t* res, size_t stride, size_t k, bool centred, uint32_t* out, size_t out_stride,
                       const uint32_t* modulus, uint32_t* work) noexcept;

// y <- y - x 2^shift modulo 2^(31 ylen); x signed of xlen limbs; public shift.
void sub_shifted(uint32_t* y, size_t ylen, const uint32_t* x, size_t xlen, uint32_t shift) noexcept;
// acc <- acc + c x modulo 2^(31 alen), for x signed of xlen limbs.
void add_mul(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, int32_t c) noexcept;

// acc <- sum of c[i] x_i modulo 2^(31 alen), for `count` signed values x_i
// of xlen limbs stored one after the other from x; count at most 4096.
void mul_sum(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, const int32_t* c, size_t count) noexcept;
// The AVX2 form, for xlen up to 64; mul_sum() takes it when the processor
// has AVX2.
void mul_sum_avx2(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, const int32_t* c, size_t count) noexcept;

// Bit length of |x| (of ~x for a negative x), for x signed of len limbs.
uint32_t magnitude_bits(const uint32_t* x, size_t len) noexcept;

// The 64 bits of x (signed, len limbs) from bit position shift - 32, read as
// a fixed-point number with 32 fractional bits: x / 2^shift, truncated.
// The shift may be secret, up to the public max_shift: every limb it can
// reach is visited and the wanted ones are picked by masks.
uint64_t fixed_window(const uint32_t* x, size_t len, uint32_t shift, uint32_t max_shift) noexcept;

// Bezout step at the bottom of the tower: for odd x and any y below
// 2^(31 len), sets inv = 1/y mod x when gcd(x, y) = 1 and returns true.
// Constant time; false (a rejection) when x and y are not coprime.
bool mod_inverse(uint32_t* inv, const uint32_t* y, const uint32_t* x, size_t len) noexcept;

}  // namespace fndsa::kgen
