// Internals shared by key generation, signing and verification.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fndsa/fndsa.hpp"
#include "keccak/keccak.hpp"

namespace fndsa::detail {

inline constexpr uint32_t kQ = 12289;
inline constexpr uint32_t kSqBeta = 34034726;  // floor(beta^2) for n = 512
inline constexpr int32_t kBInf = 840;          // bound on every coefficient

// ---- arithmetic modulo q (plain representation in [0, q)) ----
// Forward and inverse negacyclic NTT over Z_q[X]/(X^n+1), in place.
void ntt(uint16_t* a) noexcept;
void intt(uint16_t* a) noexcept;
// Signed small coefficients to [0, q).
void small_to_modq(const int8_t* f, uint16_t* d) noexcept;
// a <- a * b (NTT form).
void ntt_mul(uint16_t* a, const uint16_t* b) noexcept;
// a <- a / b (NTT form); false when some coefficient of b is zero.
bool ntt_div(uint16_t* a, const uint16_t* b) noexcept;
// True when every NTT coefficient is non-zero.
bool ntt_invertible(const uint16_t* a) noexcept;
// [0, q) to signed values in [-127, +127]; false when one is out of range.
bool modq_to_small(const uint16_t* d, int8_t* f) noexcept;

// ---- byte formats ----
// n signed values on `bits` bits each; returns the bytes written.
size_t pack_signed(const int8_t* f, size_t n, unsigned bits, uint8_t* out) noexcept;
// Reads n values; false on too short an input or the value -2^(bits-1).
bool unpack_signed(const uint8_t* in, size_t in_len, int8_t* f, size_t n, unsigned bits) noexcept;
void modq_encode(const uint16_t* h, uint8_t* out) noexcept;                // 896 bytes
bool modq_decode(const uint8_t* in, size_t in_len, uint16_t* h) noexcept;  // values < q
// The compressed s2 in exactly out_len bytes, zero-padded; false when it
// does not fit or a value is out of range.
bool pack_compressed(const int16_t* s, uint8_t* out, size_t out_len) noexcept;
bool unpack_compressed(const uint8_t* in, size_t in_len, int16_t* s) noexcept;

// ---- hashing ----
void hash_to_point(const uint8_t nonce[40], const uint8_t mu[64], uint16_t* c) noexcept;

// SHAKE256 output read as a byte stream (16- and 64-bit words little-endian).
class ShakePrng {
 public:
  ShakePrng(const uint8_t* seed, size_t len) noexcept;
  ~ShakePrng();
  ShakePrng(const ShakePrng&) = delete;
  ShakePrng& operator=(const ShakePrng&) = delete;

  uint8_t next_u8() noexcept {
    if (pos_ == end_) refill();
    return buf_[pos_++];
  }
  uint16_t next_u16() noexcept {
    uint16_t lo = next_u8();
    return static_cast<uint16_t>(lo | (uint16_t{next_u8()} << 8));
  }
  uint64_t next_u64() noexcept {
    uint64_t x = 0;
    for (int i = 0; i < 8; ++i) x |= uint64_t{next_u8()} << (8 * i);
    return x;
  }
  void next_bytes(uint8_t* d, size_t len) noexcept {
    for (size_t i = 0; i < len; ++i) d[i] = next_u8();
  }
  // The next len (at most kWindow) bytes of the stream, contiguous in
  // place: when the buffer holds fewer, the unread rest moves to its front
  // and the next block follows it. skip(k), k <= len, then consumes them.
  // Readers of short groups take them whole this way.
  static constexpr size_t kWindow = 64;
  const uint8_t* window(size_t len) noexcept {
    if (end_ - pos_ < len) top_up();
    return buf_ + pos_;
  }
  void skip(size_t len) noexcept { pos_ += len; }

 private:
  static constexpr size_t kRate = 136;
  void refill() noexcept;
  void top_up() noexcept;
  keccak::Shake256 sh_;
  uint8_t buf_[kWindow + kRate];
  size_t pos_ = 0, end_ = 0;
};

// ---- floating-point FFT over R[X]/(X^n+1), for signing ----
// FFT form: n/2 real parts followed by n/2 imaginary parts. fpoly_norm_sq
// is a adj(a); fpoly_split / fpoly_merge go between f and (f0, f1) with
// f = f0(X^2) + X f1(X^2), fpoly_split_real for a self-adjoint f; fpoly_ldl
// is the LDL* step of a 2 x 2 Gram matrix.
void fft(unsigned logn, double* f) noexcept;
void ifft(unsigned logn, double* f) noexcept;
// The portable forms, and the AVX2 forms (logn >= 4) that fft() and
// ifft() take when the processor has AVX2; all give the same bits.
void fft_portable(unsigned logn, double* f) noexcept;
void ifft_portable(unsigned logn, double* f) noexcept;
void fft_avx2(unsigned logn, double* f) noexcept;
void ifft_avx2(unsigned logn, double* f) noexcept;
// cos and sin of rev10(k) pi / 1024 for k < 1024, interleaved.
const double* fft_root_table() noexcept;
void fpoly_from_small(unsigned logn, double* d, const int8_t* f) noexcept;
void fpoly_add(unsigned logn, double* a, const double* b) noexcept;
void fpoly_neg(unsigned logn, double* a) noexcept;
void fpoly_mul(unsigned logn, double* a, const double* b) noexcept;
void fpoly_mul_adj(unsigned logn, double* a, const double* b) noexcept;
void fpoly_norm_sq(unsigned logn, double* a) noexcept;
void fpoly_scale(unsigned logn, double* a, double x) noexcept;
void fpoly_ldl(unsigned logn, const double* g00, double* g01, double* g11) noexcept;
void fpoly_split(unsigned logn, double* f0, double* f1, const double* f) noexcept;
void fpoly_split_real(unsigned logn, double* f0, double* f1, const double* f) noexcept;
void fpoly_merge(unsigned logn, double* f, const double* f0, const double* f1) noexcept;

// x * 2^e, exact for the constants used here.
constexpr double scaled(int64_t x, int e) noexcept {
  double r = static_cast<double>(x);
  if (e >= 0) {
    for (int i = 0; i < e; ++i) r *= 2.0;
  } else {
    for (int i = 0; i < -e; ++i) r *= 0.5;
  }
  return r;
}

// Round to nearest (ties to even), as the processor's conversion does.
int64_t rint(double x) noexcept;
// Floor, through truncation and a correction.
inline int64_t floor_i64(double x) noexcept {
  int64_t r = static_cast<int64_t>(x);
  return r - static_cast<int64_t>(x < static_cast<double>(r));
}
double fsqrt(double x) noexcept;

}  // namespace fndsa::detail
