// Verifying-key decoding, mu and signature verification.
#include <cstring>

#include "internal.hpp"

namespace fndsa {

using namespace detail;

void hash_verifying_key(std::span<const uint8_t> vk, uint8_t out[64]) noexcept {
  keccak::shake256(vk.data(), vk.size(), out, 64);
}

void compute_mu(const uint8_t hashed_vk[64], std::span<const uint8_t> ctx,
                std::span<const uint8_t> msg, uint8_t mu[64]) noexcept {
  keccak::Shake256 sh;
  sh.absorb(hashed_vk, 64);
  const uint8_t head[2] = {0x00, static_cast<uint8_t>(ctx.size())};
  sh.absorb(head, 2);
  sh.absorb(ctx);
  sh.absorb(msg);
  sh.finalize();
  sh.squeeze(mu, 64);
}

bool VerifyingKey::decode(std::span<const uint8_t> vk) noexcept {
  loaded_ = false;
  if (vk.size() != kVerifyingKeySize || vk[0] != 0x00 + kLogN) return false;
  // The key holds h in NTT form.
  if (!modq_decode(vk.data() + 1, vk.size() - 1, h_)) return false;
  hash_verifying_key(vk, hashed_);
  loaded_ = true;
  return true;
}

bool VerifyingKey::verify(std::span<const uint8_t> sig, std::span<const uint8_t> ctx,
                          std::span<const uint8_t> msg) const noexcept {
  if (!loaded_ || ctx.size() > kMaxContextSize) return false;
  if (sig.size() != kSignatureSize || sig[0] != 0x30 + kLogN) return false;
  int16_t s2[kN];
  if (!comp_decode(sig.data() + 41, sig.size() - 41, s2)) return false;

  uint8_t mu[64];
  compute_mu(hashed_, ctx, msg, mu);
  uint16_t c[kN];
  hash_to_point(sig.data() + 1, mu, c);

  // s1 = c - s2 * h mod q
  uint16_t t[kN];
  uint32_t norm2 = 0;
  for (size_t i = 0; i < kN; ++i) {
    int32_t x = s2[i];
    norm2 += static_cast<uint32_t>(x * x);
    t[i] = static_cast<uint16_t>(x < 0 ? x + static_cast<int32_t>(kQ) : x);
  }
  ntt(t);
  ntt_mul(t, h_);
  intt(t);

  // Squared norm of s1 (centred), saturated, and the bound on each value.
  uint32_t norm1 = 0;
  uint32_t sat = 0;
  for (size_t i = 0; i < kN; ++i) {
    uint32_t x = c[i] + kQ - t[i];
    x -= kQ & (0u - ((kQ - 1u - x) >> 31));  // [0, q)
    int32_t y = static_cast<int32_t>(x) - static_cast<int32_t>(kQ & (0u - (((kQ - 1) / 2 - x) >> 31)));
    norm1 += static_cast<uint32_t>(y * y);
    sat |= norm1;
    sat |= static_cast<uint32_t>(kBInf - y);
    sat |= static_cast<uint32_t>(kBInf + y);
  }
  norm1 |= 0u - (sat >> 31);
  // The first test refuses a zero s2 and any overflow of the sum.
  return norm1 < (0u - norm2) && norm1 + norm2 <= kSqBeta;
}

bool verify(std::span<const uint8_t> vk, std::span<const uint8_t> sig, std::span<const uint8_t> ctx,
            std::span<const uint8_t> msg) noexcept {
  VerifyingKey key;
  if (!key.decode(vk)) return false;
  return key.verify(sig, ctx, msg);
}

}  // namespace fndsa
