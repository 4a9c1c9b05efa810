#include <cstring>

#include "internal.hpp"
#include "keccak/keccak.hpp"
#include "subtle/ct_marks.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail {
namespace {

// RejNTTPoly over an open SHAKE128 stream: 3-byte candidates below q.
void rej_ntt_poly(Poly& a, keccak::Shake128& xof) noexcept {
  uint8_t buf[keccak::Shake128::kRate];
  int n = 0;
  while (n < kN) {
    xof.squeeze(buf, sizeof buf);
    for (size_t i = 0; i + 3 <= sizeof buf && n < kN; i += 3) {
      const int32_t t = static_cast<int32_t>(buf[i]) | (static_cast<int32_t>(buf[i + 1]) << 8) |
                        (static_cast<int32_t>(buf[i + 2] & 0x7F) << 16);
      if (t < kQ) a.c[n++] = t;
    }
  }
}

// RejBoundedPoly for eta = 2. Which half-bytes are rejected depends only on
// the stream, not on the accepted values; the mapping itself is branch-free.
void rej_bounded_poly(Poly& a, const uint8_t rho_prime[64], uint16_t r) noexcept {
  keccak::Shake256 xof;
  const uint8_t nonce[2] = {static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8)};
  xof.absorb(rho_prime, 64);
  xof.absorb(nonce, 2);
  uint8_t buf[keccak::Shake256::kRate];
  int n = 0;
  while (n < kN) {
    xof.squeeze(buf, sizeof buf);
    for (size_t i = 0; i < sizeof buf && n < kN; ++i) {
      const uint32_t halves[2] = {buf[i] & 0x0Fu, static_cast<uint32_t>(buf[i] >> 4)};
      for (uint32_t b : halves) {
        // A refused half-byte is a sampler redraw: public by design.
        if (subtle::public_value(b < 15) && n < kN) {
          const uint32_t mod5 = b - ((205 * b) >> 10) * 5;  // b mod 5 for b < 15
          a.c[n++] = kEta - static_cast<int32_t>(mod5);
        }
      }
    }
  }
  zeroize::wipe(buf, sizeof buf);
}

}  // namespace

void expand_a(Matrix& a, const uint8_t rho[32]) noexcept {
  for (int i = 0; i < kK; ++i) {
    for (int j = 0; j < kL; ++j) {
      keccak::Shake128 xof;
      const uint8_t idx[2] = {static_cast<uint8_t>(j), static_cast<uint8_t>(i)};
      xof.absorb(rho, 32);
      xof.absorb(idx, 2);
      rej_ntt_poly(a[i][j], xof);
    }
  }
}

void expand_s(PolyVecL& s1, PolyVecK& s2, const uint8_t rho_prime[64]) noexcept {
  for (int r = 0; r < kL; ++r) rej_bounded_poly(s1[r], rho_prime, static_cast<uint16_t>(r));
  for (int r = 0; r < kK; ++r) rej_bounded_poly(s2[r], rho_prime, static_cast<uint16_t>(r + kL));
}

void expand_mask(PolyVecL& y, const uint8_t rho_pp[64], uint16_t kappa) noexcept {
  uint8_t buf[kZPolyBytes];
  for (int r = 0; r < kL; ++r) {
    const uint16_t v = static_cast<uint16_t>(kappa + r);
    const uint8_t nonce[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    keccak::Shake256 xof;
    xof.absorb(rho_pp, 64);
    xof.absorb(nonce, 2);
    xof.squeeze(buf, sizeof buf);
    unpack_z(y[r], buf);
  }
  zeroize::wipe(buf, sizeof buf);
}

void sample_in_ball(Poly& c, const uint8_t c_tilde[kCTildeBytes]) noexcept {
  keccak::Shake256 xof;
  xof.absorb(c_tilde, kCTildeBytes);
  uint8_t buf[keccak::Shake256::kRate];
  xof.squeeze(buf, sizeof buf);
  uint64_t signs = 0;
  for (int i = 0; i < 8; ++i) signs |= static_cast<uint64_t>(buf[i]) << (8 * i);
  size_t pos = 8;

  std::memset(c.c, 0, sizeof c.c);
  for (int i = kN - kTau; i < kN; ++i) {
    uint32_t j;
    do {
      if (pos == sizeof buf) {
        xof.squeeze(buf, sizeof buf);
        pos = 0;
      }
      j = buf[pos++];
      // A refused position is a sampler redraw: public by design.
    } while (subtle::public_value(j > static_cast<uint32_t>(i)));
    // c[i] = c[j]; c[j] = (-1)^bit, touching every slot up to i so that j
    // is not revealed through the memory access pattern.
    const int32_t sign = 1 - 2 * static_cast<int32_t>(signs & 1);
    signs >>= 1;
    int32_t cj = 0;
    for (int k = 0; k <= i; ++k) {
      const int32_t hit = -static_cast<int32_t>(static_cast<uint32_t>(k) == j);
      cj |= c.c[k] & hit;
      c.c[k] = (c.c[k] & ~hit) | (sign & hit);
    }
    // When j == i the new sign is what lands in c[i].
    const int32_t self = -static_cast<int32_t>(static_cast<uint32_t>(i) == j);
    c.c[i] = (cj & ~self) | (sign & self);
  }
  zeroize::wipe(buf, sizeof buf);
}

}  // namespace mldsa::detail
