// The hashes of the scheme, all SHAKE256: the verifying key's 64-byte
// digest, the message representative mu with its domain context, and the
// point c of Z_q[X]/(X^512 + 1) that a signature must reach.
#include "internal.hpp"

namespace fndsa {

void hash_verifying_key(std::span<const uint8_t> vk, uint8_t out[64]) noexcept {
  keccak::shake256(vk.data(), vk.size(), out, 64);
}

// The two bytes after the key's digest: 0 (a raw message, no pre-hash
// identifier) and the context length.
void compute_mu(const uint8_t hashed_vk[64], std::span<const uint8_t> ctx, std::span<const uint8_t> msg,
                uint8_t mu[64]) noexcept {
  keccak::Shake256 sh;
  sh.absorb(hashed_vk, 64);
  const uint8_t frame[2] = {0, static_cast<uint8_t>(ctx.size())};
  sh.absorb(frame, sizeof frame);
  sh.absorb(ctx);
  sh.absorb(msg);
  sh.finalize();
  sh.squeeze(mu, 64);
}

namespace detail {

// 16-bit words (first byte low) below 5 q = 61445 are kept and reduced;
// the others are skipped. Only public data enters here.
// FIPS 206 / Falcon: HashToPoint.
void hash_to_point(const uint8_t nonce[40], const uint8_t mu[64], uint16_t* c) noexcept {
  keccak::Shake256 sh;
  sh.absorb(nonce, 40);
  sh.absorb(mu, 64);
  sh.finalize();
  uint8_t block[136];
  size_t filled = 0;
  for (size_t pos = sizeof block; filled < kN; pos += 2) {
    if (pos == sizeof block) {
      sh.squeeze(block, sizeof block);
      pos = 0;
    }
    const uint32_t w = uint32_t{block[pos]} | (uint32_t{block[pos + 1]} << 8);
    if (w < 5 * kQ) c[filled++] = static_cast<uint16_t>(w % kQ);
  }
}

}  // namespace detail
}  // namespace fndsa
