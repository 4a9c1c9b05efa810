// Fixed-point reals for key generation: 64-bit two's complement numbers
// with 32 fractional bits, and the FFT over R[X]/(X^n + 1) built on them.
// All of it is integer arithmetic, exact and identical on every platform,
// and none of it branches on the values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fndsa::kgen {

struct Fixed {
  uint64_t raw;  // value * 2^32 modulo 2^64

  static constexpr Fixed from_int(int32_t v) noexcept {
    return {static_cast<uint64_t>(static_cast<uint32_t>(v)) << 32};
  }
  int64_t as_signed() const noexcept { return static_cast<int64_t>(raw); }
  // Nearest integer; an exact half goes up.
  int32_t round() const noexcept { return static_cast<int32_t>(static_cast<int64_t>(raw + 0x80000000u) >> 32); }
};

inline Fixed operator+(Fixed a, Fixed b) noexcept { return {a.raw + b.raw}; }
inline Fixed operator-(Fixed a, Fixed b) noexcept { return {a.raw - b.raw}; }
inline Fixed operator-(Fixed a) noexcept { return {0 - a.raw}; }
// Product rounded towards minus infinity.
inline Fixed operator*(Fixed a, Fixed b) noexcept {
  const __int128 z = static_cast<__int128>(a.as_signed()) * b.as_signed();
  return {static_cast<uint64_t>(z >> 32)};
}
// Half, an exact half going up.
inline Fixed halve(Fixed a) noexcept { return {static_cast<uint64_t>(static_cast<int64_t>(a.raw + 1) >> 1)}; }
// Quotient rounded to nearest (halves away from zero in magnitude).
Fixed operator/(Fixed a, Fixed b) noexcept;

// a[i] <- a[i] / b[i] for i < n, each rounded as by operator/ (on AVX2
// several quotients at a time).
void fixed_div_all(Fixed* a, const Fixed* b, size_t n) noexcept;
// The AVX2 form, for n a multiple of 4; fixed_div_all() takes it when the
// processor has AVX2.
void fixed_div_avx2(Fixed* a, const Fixed* b, size_t n) noexcept;

struct FixedComplex {
  Fixed re, im;
};
inline FixedComplex operator+(FixedComplex a, FixedComplex b) noexcept { return {a.re + b.re, a.im + b.im}; }
inline FixedComplex operator-(FixedComplex a, FixedComplex b) noexcept { return {a.re - b.re, a.im - b.im}; }
// Three real products: (a + ib)(c + id) = ac - bd + i((a + b)(c + d) - ac - bd).
inline FixedComplex operator*(FixedComplex a, FixedComplex b) noexcept {
  const Fixed ac = a.re * b.re, bd = a.im * b.im;
  const Fixed s = (a.re + a.im) * (b.re + b.im);
  return {ac - bd, s - (ac + bd)};
}

// FFT layout: the values at the n/2 roots w_k of X^n + 1 with positive
// imaginary part (the others are their conjugates, the coefficients being
// real), real parts in [0, n/2), imaginary parts in [n/2, n).
void fixed_fft(Fixed* a, unsigned logn) noexcept;
void fixed_ifft(Fixed* a, unsigned logn) noexcept;
// a <- a b, pointwise.
void fixed_mul_fft(Fixed* a, const Fixed* b, unsigned logn) noexcept;
// a <- 2^e / a, pointwise (conjugate over squared modulus); logn <= 9.
void fixed_inv_fft(Fixed* a, unsigned logn, uint32_t e) noexcept;

}  // namespace fndsa::kgen
