// Byte formats: small signed coefficients at a fixed width, values modulo q
// on 14 bits, and the compressed form of s2. Bits are packed from the least
// significant end of each byte.
#include <cstring>

#include "ct_word.hpp"
#include "internal.hpp"

namespace fndsa::detail {

size_t pack_signed(const int8_t* f, size_t n, unsigned bits, uint8_t* out) noexcept {
  const uint32_t mask = (1u << bits) - 1;
  uint32_t pending = 0;
  unsigned held = 0;
  size_t len = 0;
  for (size_t i = 0; i < n; ++i) {
    pending |= (static_cast<uint32_t>(static_cast<uint8_t>(f[i])) & mask) << held;
    for (held += bits; held >= 8; held -= 8, pending >>= 8) out[len++] = static_cast<uint8_t>(pending);
  }
  return len;
}

namespace {

template <unsigned Bits>
void unpack_groups(const uint8_t* in, size_t n, int8_t* f, uint32_t& forbidden, size_t& i, size_t& k) noexcept {
  constexpr uint32_t mask = (1u << Bits) - 1, top = 1u << (Bits - 1);
  for (; k + 8 <= n; k += 8, i += Bits) {
    uint64_t w = 0;
    for (unsigned b = 0; b < Bits; ++b) w |= uint64_t{in[i + b]} << (8 * b);
    for (unsigned t = 0; t < 8; ++t, w >>= Bits) {
      const uint32_t u = static_cast<uint32_t>(w) & mask;
      forbidden |= ct::eq_mask(u, top);
      f[k + t] = static_cast<int8_t>(static_cast<int32_t>((u ^ top) - top));
    }
  }
}

}  // namespace

// Sign extension by masks; the one value the packer never writes,
// -2^(bits-1), is noted without a branch and refused at the end.
bool unpack_signed(const uint8_t* in, size_t in_len, int8_t* f, size_t n, unsigned bits) noexcept {
  const size_t len = (n * bits) / 8;
  if (in_len < len) return false;
  const uint32_t mask = (1u << bits) - 1, top = 1u << (bits - 1);
  uint32_t pending = 0, forbidden = 0;
  unsigned held = 0;
  size_t k = 0;
  size_t i = 0;
  // Eight values fill `bits` whole bytes: one little-endian word per group
  // (the widths of the signing key are unrolled).
  if (bits == 6) {
    unpack_groups<6>(in, n, f, forbidden, i, k);
  } else if (bits == 8) {
    unpack_groups<8>(in, n, f, forbidden, i, k);
  }
  for (; i < len; ++i) {
    pending |= uint32_t{in[i]} << held;
    for (held += 8; held >= bits; held -= bits, pending >>= bits) {
      const uint32_t v = (pending & mask) | (0u - (pending & top));
      const uint32_t d = v ^ (0u - top);  // zero exactly for -2^(bits-1)
      forbidden |= 1u ^ ((d | (0u - d)) >> 31);
      f[k++] = static_cast<int8_t>(static_cast<int32_t>(v));
    }
  }
  return forbidden == 0;
}

// Four 14-bit values in seven bytes.
// FIPS 206 / Falcon: the public-key encoding of h (14 bits per coefficient).
void modq_encode(const uint16_t* h, uint8_t* out) noexcept {
  for (size_t i = 0; i < kN; i += 4, out += 7) {
    uint64_t w = 0;
    for (int k = 3; k >= 0; --k) w = (w << 14) | h[i + k];
    for (int b = 0; b < 7; ++b) out[b] = static_cast<uint8_t>(w >> (8 * b));
  }
}

bool modq_decode(const uint8_t* in, size_t in_len, uint16_t* h) noexcept {
  if (in_len != 7 * (kN / 4)) return false;
  uint32_t too_big = 0;
  for (size_t i = 0; i < kN; i += 4, in += 7) {
    uint64_t w = 0;
    for (int b = 6; b >= 0; --b) w = (w << 8) | in[b];
    for (int k = 0; k < 4; ++k, w >>= 14) {
      const uint32_t v = static_cast<uint32_t>(w) & 0x3FFF;
      too_big |= (kQ - 1 - v) >> 31;
      h[i + k] = static_cast<uint16_t>(v);
    }
  }
  return too_big == 0;
}

// A value x is written as its sign, the low 7 bits of |x|, and |x| >> 7 in
// unary (that many 0 bits, then a 1); the rest of the field is zero. The
// signature is public once emitted, so its length may show.
// FIPS 206 / Falcon: Compress.
bool pack_compressed(const int16_t* s, uint8_t* out, size_t out_len) noexcept {
  uint32_t pending = 0;
  unsigned held = 0;
  size_t len = 0;
  for (size_t i = 0; i < kN; ++i) {
    const int32_t x = s[i];
    const uint32_t neg = static_cast<uint32_t>(x >> 16);
    const uint32_t mag = (static_cast<uint32_t>(x) ^ neg) - neg;
    if (mag > static_cast<uint32_t>(kBInf)) return false;
    pending |= ((neg & 1) | ((mag & 0x7F) << 1)) << held;
    held += 8;
    const uint32_t high = mag >> 7;
    pending |= 1u << (held + high);
    held += high + 1;
    for (; held >= 8; held -= 8, pending >>= 8) {
      if (len == out_len) return false;
      out[len++] = static_cast<uint8_t>(pending);
    }
  }
  if (held > 0) {
    if (len == out_len) return false;
    out[len++] = static_cast<uint8_t>(pending);
  }
  std::memset(out + len, 0, out_len - len);
  return true;
}

// The exact inverse: any other string (a unary part too long, a minus zero,
// a value above the bound, non-zero padding) is refused.
// FIPS 206 / Falcon: Decompress.
bool unpack_compressed(const uint8_t* in, size_t in_len, int16_t* s) noexcept {
  size_t pos = 0;
  uint32_t pending = 0;
  unsigned held = 0;
  for (size_t i = 0; i < kN; ++i) {
    if (pos == in_len) return false;
    pending |= uint32_t{in[pos++]} << held;
    const uint32_t neg = pending & 1;
    uint32_t mag = (pending >> 1) & 0x7F;
    pending >>= 8;
    if (pending == 0) {  // the unary part starts in the next byte
      if (pos == in_len) return false;
      pending |= uint32_t{in[pos++]} << held;
      held += 8;
      if (pending == 0) return false;
    }
    const unsigned zeros = static_cast<unsigned>(__builtin_ctz(pending));
    mag += zeros << 7;
    if (mag > static_cast<uint32_t>(kBInf)) return false;
    pending >>= zeros + 1;
    held -= zeros + 1;
    if (neg != 0 && mag == 0) return false;
    s[i] = static_cast<int16_t>(neg ? -static_cast<int32_t>(mag) : static_cast<int32_t>(mag));
  }
  if (pending != 0) return false;
  for (; pos < in_len; ++pos)
    if (in[pos] != 0) return false;
  return true;
}

}  // namespace fndsa::detail
