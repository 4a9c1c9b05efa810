// FN-DSA with degree 512 (logn = 9, q = 12289): key-pair generation,
// signing and verification with the byte formats of the fn-dsa 0.4.0
// crate. Signing always uses the raw-message hash identifier; the domain
// context (0 to 255 bytes) is explicit.
//
//   verifying key  897 bytes: 0x09 || NTT(h) (14 bits per coefficient)
//   signing key   1345 bytes: 0x59 || f (6 bits) || g (6 bits) || F (8 bits)
//                             || SHAKE256(verifying key)[0..64]
//   signature      666 bytes: 0x39 || nonce (40) || compressed s2, padded
//
// Arguments follow the order of the library's other schemes: message, then
// context, then the signer's randomness, then the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zeroize/zeroize.hpp"

namespace fndsa {

inline constexpr unsigned kLogN = 9;
inline constexpr size_t kN = size_t{1} << kLogN;
inline constexpr size_t kSigningKeyLen = 1345;
inline constexpr size_t kVerifyingKeyLen = 897;
inline constexpr size_t kSignatureLen = 666;
inline constexpr size_t kKeygenSeedLen = 32;  // one draw from the generator
inline constexpr size_t kSignSeedLen = 40;    // one draw from the generator
inline constexpr size_t kHashedKeyLen = 64;
inline constexpr size_t kMaxContextLen = 255;

// SHAKE256(vk) truncated to 64 bytes.
void hash_verifying_key(std::span<const uint8_t> vk, uint8_t out[64]) noexcept;

// mu = SHAKE256(hashed_vk || 0x00 || len(ctx) || ctx || msg)[0..64].
// The context must be at most 255 bytes (checked by the callers).
void compute_mu(const uint8_t hashed_vk[64], std::span<const uint8_t> ctx, std::span<const uint8_t> msg,
                uint8_t mu[64]) noexcept;

// Key pair from the 32-byte seed that the generator supplies. The key is
// a deterministic function of the seed.
void keygen_from_seed(const uint8_t seed[32], uint8_t sk[kSigningKeyLen], uint8_t vk[kVerifyingKeyLen]) noexcept;

template <class Rng>
void keygen(Rng& rng, uint8_t sk[kSigningKeyLen], uint8_t vk[kVerifyingKeyLen]) noexcept {
  zeroize::SecretArray<kKeygenSeedLen> seed;
  rng.fill_bytes(seed.data(), seed.size());
  keygen_from_seed(seed.data(), sk, vk);
}

enum class SignStatus : uint8_t { Ok, BadKey, BadContext, Failed };

// A decoded signing key: f, g, F, the recomputed G, the FFT basis and the
// hashes. Everything is wiped on destruction.
class SigningKey {
 public:
  SigningKey() noexcept;
  ~SigningKey();
  SigningKey(const SigningKey&) = delete;
  SigningKey& operator=(const SigningKey&) = delete;

  // Decodes a 1345-byte signing key; false on a wrong length, a bad header,
  // a forbidden coefficient value, f not invertible modulo q, or G out of
  // range. The final 64 bytes are taken as given.
  bool decode(std::span<const uint8_t> sk) noexcept;
  bool loaded() const noexcept { return loaded_; }

  // The verifying key recomputed from f, g and F.
  void to_verifying_key(uint8_t vk[kVerifyingKeyLen]) const noexcept;

  // Signs with the 40 bytes the generator supplies.
  SignStatus sign_with_seed(std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
                            const uint8_t seed[kSignSeedLen], uint8_t sig[kSignatureLen]) noexcept;

  template <class Rng>
  SignStatus sign(std::span<const uint8_t> msg, std::span<const uint8_t> ctx, Rng& rng,
                  uint8_t sig[kSignatureLen]) noexcept {
    zeroize::SecretArray<kSignSeedLen> seed;
    rng.fill_bytes(seed.data(), seed.size());
    return sign_with_seed(msg, ctx, seed.data(), sig);
  }

 private:
  void wipe() noexcept;

  int8_t f_[kN];
  int8_t g_[kN];
  int8_t F_[kN];
  int8_t G_[kN];
  double basis_[4 * kN];  // FFT of g, -f, G, -F
  uint8_t vk_[kVerifyingKeyLen];
  uint8_t hashed_vk_[kHashedKeyLen];
  uint8_t hashed_sk_[40];
  bool loaded_ = false;
};

// A decoded verifying key.
class VerifyingKey {
 public:
  bool decode(std::span<const uint8_t> vk) noexcept;
  // False for a context over 255 bytes, a signature of the wrong length or
  // encoding, or one that fails the norm bound.
  bool verify(std::span<const uint8_t> msg, std::span<const uint8_t> ctx, std::span<const uint8_t> sig) const noexcept;

 private:
  uint16_t h_[kN] = {};  // NTT form
  uint8_t hashed_[kHashedKeyLen] = {};
  bool loaded_ = false;
};

// One-shot verification; false when the key does not decode.
bool verify(std::span<const uint8_t> vk, std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
            std::span<const uint8_t> sig) noexcept;

}  // namespace fndsa
