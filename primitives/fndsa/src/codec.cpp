// Byte encodings of keys and signatures.
#include <cstring>

#include "internal.hpp"

namespace fndsa::detail {

size_t trim_i8_encode(const int8_t* f, size_t n, unsigned nbits, uint8_t* d) noexcept {
  size_t k = 0;
  uint32_t acc = 0;
  unsigned acc_len = 0;
  const uint32_t mask = (1u << nbits) - 1u;
  for (size_t i = 0; i < n; ++i) {
    acc |= (uint32_t{static_cast<uint8_t>(f[i])} & mask) << acc_len;
    acc_len += nbits;
    while (acc_len >= 8) {
      d[k++] = static_cast<uint8_t>(acc);
      acc >>= 8;
      acc_len -= 8;
    }
  }
  return k;
}

bool trim_i8_decode(const uint8_t* d, size_t dlen, int8_t* f, size_t n, unsigned nbits) noexcept {
  const size_t needed = (n * nbits) >> 3;
  if (dlen < needed) return false;
  const uint32_t mask = (1u << nbits) - 1u;
  const uint32_t sign = 1u << (nbits - 1);
  uint32_t acc = 0;
  unsigned acc_len = 0;
  uint32_t bad = 0;
  size_t j = 0;
  for (size_t i = 0; i < needed; ++i) {
    acc |= uint32_t{d[i]} << acc_len;
    acc_len += 8;
    while (acc_len >= nbits) {
      uint32_t w = acc & mask;
      acc >>= nbits;
      acc_len -= nbits;
      w |= 0u - (w & sign);  // sign extension
      // The value -2^(nbits-1) is never produced by the encoder.
      const uint32_t e = w ^ (0u - sign);
      bad |= ((e | (0u - e)) >> 31) ^ 1u;
      f[j++] = static_cast<int8_t>(static_cast<int32_t>(w));
    }
  }
  return bad == 0;
}

void modq_encode(const uint16_t* h, uint8_t* d) noexcept {
  for (size_t i = 0; i < kN / 4; ++i) {
    uint64_t x = uint64_t{h[4 * i]} | (uint64_t{h[4 * i + 1]} << 14) | (uint64_t{h[4 * i + 2]} << 28) |
                 (uint64_t{h[4 * i + 3]} << 42);
    for (int k = 0; k < 7; ++k) d[7 * i + k] = static_cast<uint8_t>(x >> (8 * k));
  }
}

bool modq_decode(const uint8_t* d, size_t dlen, uint16_t* h) noexcept {
  if (dlen != 7 * (kN / 4)) return false;
  uint32_t ov = 0;
  for (size_t i = 0; i < kN / 4; ++i) {
    uint64_t x = 0;
    for (int k = 0; k < 7; ++k) x |= uint64_t{d[7 * i + k]} << (8 * k);
    for (int k = 0; k < 4; ++k) {
      uint32_t v = static_cast<uint32_t>(x >> (14 * k)) & 0x3FFF;
      ov |= (kQ - 1u - v) >> 31;  // v >= q
      h[4 * i + k] = static_cast<uint16_t>(v);
    }
  }
  return ov == 0;
}

// Each value: sign bit, the low 7 bits of |x|, then |x| >> 7 in unary
// (that many zeros and a one), bits taken from the least significant end.
bool comp_encode(const int16_t* s, uint8_t* d, size_t dlen) noexcept {
  uint32_t acc = 0;
  unsigned acc_len = 0;
  size_t j = 0;
  for (size_t i = 0; i < kN; ++i) {
    int32_t x = s[i];
    uint32_t sw = static_cast<uint32_t>(x >> 16);
    uint32_t w = (static_cast<uint32_t>(x) ^ sw) - sw;
    if (w > static_cast<uint32_t>(kBInf)) return false;
    acc |= ((sw & 1u) | ((w & 0x7F) << 1)) << acc_len;
    acc_len += 8;
    uint32_t wh = w >> 7;
    acc |= 1u << (acc_len + wh);
    acc_len += wh + 1;
    while (acc_len >= 8) {
      if (j >= dlen) return false;
      d[j++] = static_cast<uint8_t>(acc);
      acc >>= 8;
      acc_len -= 8;
    }
  }
  if (acc_len > 0) {
    if (j >= dlen) return false;
    d[j++] = static_cast<uint8_t>(acc);
  }
  std::memset(d + j, 0, dlen - j);
  return true;
}

bool comp_decode(const uint8_t* d, size_t dlen, int16_t* v) noexcept {
  size_t j = 0;
  uint32_t acc = 0;
  unsigned acc_len = 0;
  for (size_t i = 0; i < kN; ++i) {
    if (j >= dlen) return false;
    acc |= uint32_t{d[j++]} << acc_len;
    uint32_t s = acc & 1u;
    uint32_t m = (acc >> 1) & 0x7F;
    acc >>= 8;
    if (acc == 0) {
      if (j >= dlen) return false;
      acc |= uint32_t{d[j++]} << acc_len;
      acc_len += 8;
      if (acc == 0) return false;
    }
    unsigned tz = static_cast<unsigned>(__builtin_ctz(acc));
    m += tz << 7;
    if (m > static_cast<uint32_t>(kBInf)) return false;
    acc >>= tz + 1;
    acc_len -= tz + 1;
    if (s != 0 && m == 0) return false;  // minus zero
    uint32_t sw = 0u - s;
    v[i] = static_cast<int16_t>(static_cast<int32_t>((m ^ sw) - sw));
  }
  if (acc != 0) return false;
  for (size_t k = j; k < dlen; ++k) {
    if (d[k] != 0) return false;
  }
  return true;
}

void hash_to_point(const uint8_t nonce[40], const uint8_t mu[64], uint16_t* c) noexcept {
  keccak::Shake256 sh;
  sh.absorb(nonce, 40);
  sh.absorb(mu, 64);
  sh.finalize();
  size_t i = 0;
  uint8_t buf[136];
  size_t pos = sizeof buf;
  while (i < kN) {
    if (pos == sizeof buf) {
      sh.squeeze(buf, sizeof buf);
      pos = 0;
    }
    uint32_t w = uint32_t{buf[pos]} | (uint32_t{buf[pos + 1]} << 8);
    pos += 2;
    if (w < 61445) c[i++] = static_cast<uint16_t>(w % kQ);
  }
}

}  // namespace fndsa::detail
