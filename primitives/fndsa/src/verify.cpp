// Verifying keys and verification: s1 = c - s2 h mod q, centred, and the
// squared norm of (s1, s2) against the bound. Everything here is public.
#include <cstring>

#include "internal.hpp"

namespace fndsa {

using namespace detail;

bool VerifyingKey::decode(std::span<const uint8_t> vk) noexcept {
  loaded_ = false;
  if (vk.size() != kVerifyingKeyLen || vk[0] != kLogN) return false;
  if (!modq_decode(vk.data() + 1, vk.size() - 1, h_)) return false;  // h, in NTT form
  hash_verifying_key(vk, hashed_);
  loaded_ = true;
  return true;
}

namespace {

// The centred representative of x in [0, 2q), reduced modulo q.
int32_t centred_mod_q(uint32_t x) noexcept {
  x -= kQ & (0u - ((kQ - 1 - x) >> 31));
  return static_cast<int32_t>(x) - static_cast<int32_t>(kQ & (0u - (((kQ - 1) / 2 - x) >> 31)));
}

}  // namespace

// FIPS 206 / Falcon: Verify.
bool VerifyingKey::verify(std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
                          std::span<const uint8_t> sig) const noexcept {
  if (!loaded_ || ctx.size() > kMaxContextLen) return false;
  if (sig.size() != kSignatureLen || sig[0] != 0x30 + kLogN) return false;
  int16_t s2[kN];
  if (!unpack_compressed(sig.data() + 41, sig.size() - 41, s2)) return false;
  uint8_t mu[64];
  compute_mu(hashed_, ctx, msg, mu);
  uint16_t c[kN], t[kN];
  hash_to_point(sig.data() + 1, mu, c);

  uint32_t norm2 = 0;
  for (size_t i = 0; i < kN; ++i) {
    const int32_t v = s2[i];
    norm2 += static_cast<uint32_t>(v * v);
    t[i] = static_cast<uint16_t>(v < 0 ? v + static_cast<int32_t>(kQ) : v);
  }
  ntt(t);
  ntt_mul(t, h_);
  intt(t);
  // |s1|^2, saturated once a partial sum or a coefficient goes out of range.
  uint32_t norm1 = 0, over = 0;
  for (size_t i = 0; i < kN; ++i) {
    const int32_t v = centred_mod_q(c[i] + kQ - t[i]);
    norm1 += static_cast<uint32_t>(v * v);
    over |= norm1 | static_cast<uint32_t>(kBInf - v) | static_cast<uint32_t>(kBInf + v);
  }
  norm1 |= 0u - (over >> 31);
  // norm1 < 2^32 - norm2 refuses s2 = 0 and any wrap of the sum.
  return norm1 < 0u - norm2 && norm1 + norm2 <= kSqBeta;
}

bool verify(std::span<const uint8_t> vk, std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
            std::span<const uint8_t> sig) noexcept {
  VerifyingKey key;
  return key.decode(vk) && key.verify(msg, ctx, sig);
}

}  // namespace fndsa
