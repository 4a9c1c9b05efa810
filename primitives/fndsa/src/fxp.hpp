// Signed fixed-point numbers with 32 fractional bits (two's complement in
// 64 bits) and the fixed-point FFT used by key generation; every operation
// is exact integer arithmetic, hence identical on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fndsa::detail {

struct Fxr {
  uint64_t v;
  static constexpr Fxr of_int(int32_t j) noexcept { return {static_cast<uint64_t>(static_cast<uint32_t>(j)) << 32}; }
  friend Fxr operator+(Fxr a, Fxr b) noexcept { return {a.v + b.v}; }
  friend Fxr operator-(Fxr a, Fxr b) noexcept { return {a.v - b.v}; }
  friend Fxr operator-(Fxr a) noexcept { return {0 - a.v}; }
  friend Fxr operator*(Fxr a, Fxr b) noexcept {
    __int128 z = static_cast<__int128>(static_cast<int64_t>(a.v)) * static_cast<int64_t>(b.v);
    return {static_cast<uint64_t>(z >> 32)};
  }
  friend Fxr operator/(Fxr a, Fxr b) noexcept { return {div(a.v, b.v)}; }
  Fxr half() const noexcept { return {static_cast<uint64_t>(static_cast<int64_t>(v + 1) >> 1)}; }
  Fxr mul2e(unsigned e) const noexcept { return {v << e}; }
  Fxr sqr() const noexcept { return *this * *this; }
  // Nearest integer, halves rounded up.
  int32_t round() const noexcept { return static_cast<int32_t>(static_cast<int64_t>(v + 0x80000000u) >> 32); }
  bool operator<(Fxr o) const noexcept { return static_cast<int64_t>(v) < static_cast<int64_t>(o.v); }

  // Quotient x / y with 32 fractional bits: restoring division of the
  // magnitudes over 64 quotient bits, plus one rounding bit; no branch.
  static uint64_t div(uint64_t x, uint64_t y) noexcept;
};

struct Fxc {
  Fxr re, im;
  friend Fxc operator+(Fxc a, Fxc b) noexcept { return {a.re + b.re, a.im + b.im}; }
  friend Fxc operator-(Fxc a, Fxc b) noexcept { return {a.re - b.re, a.im - b.im}; }
  // Three real products (Karatsuba).
  friend Fxc operator*(Fxc a, Fxc b) noexcept {
    Fxr z0 = a.re * b.re;
    Fxr z1 = a.im * b.im;
    Fxr z2 = (a.re + a.im) * (b.re + b.im);
    return {z0 - z1, z2 - (z0 + z1)};
  }
  Fxc half() const noexcept { return {re.half(), im.half()}; }
  Fxc conj() const noexcept { return {re, -im}; }
};

// FFT form: n/2 real parts, then n/2 imaginary parts.
void fxp_fft(unsigned logn, Fxr* f) noexcept;
void fxp_ifft(unsigned logn, Fxr* f) noexcept;
void fxp_mul_fft(unsigned logn, Fxr* a, const Fxr* b) noexcept;
// a <- 2^e / a
void fxp_inv_mul2e_fft(unsigned logn, Fxr* a, unsigned e) noexcept;

}  // namespace fndsa::detail
