// SHA-256 and SHA-512 (libsodium's). Every SHA-2 hash of the library goes
// through these: one-shot digests, and incremental hashers whose state is
// wiped when they are released. `update_framed` absorbs a part preceded by
// its length as a big-endian 64-bit integer, the framing of the library's
// labelled hashes.
#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sha2 {

// The hash HMAC, HKDF and PBKDF2 run over. Declared before the hasher types
// Sha256 and Sha512, whose names its values share.
enum class Hash : uint8_t { Sha256, Sha512 };

constexpr size_t digest_len(Hash h) noexcept { return h == Hash::Sha256 ? 32 : 64; }

// Big-endian encodings of the integers hashed inputs carry (lengths,
// counters, block indices); every such framing in the library goes through
// these.
constexpr std::array<uint8_t, 4> be32(uint32_t v) noexcept {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}
constexpr std::array<uint8_t, 8> be64(uint64_t v) noexcept {
  const auto hi = be32(static_cast<uint32_t>(v >> 32)), lo = be32(static_cast<uint32_t>(v));
  return {hi[0], hi[1], hi[2], hi[3], lo[0], lo[1], lo[2], lo[3]};
}
// The same encodings written in place into a buffer being assembled, and
// read back.
inline void put_be32(uint8_t* p, uint32_t v) noexcept {
  const auto b = be32(v);
  for (size_t i = 0; i < b.size(); ++i) p[i] = b[i];
}
inline void put_be64(uint8_t* p, uint64_t v) noexcept {
  const auto b = be64(v);
  for (size_t i = 0; i < b.size(); ++i) p[i] = b[i];
}
constexpr uint32_t get_be32(const uint8_t* p) noexcept {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

template <class State, size_t Len>
class Hasher {
 public:
  static constexpr size_t kLen = Len;

  Hasher() noexcept;
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  Hasher& update(std::span<const uint8_t> data) noexcept;
  Hasher& update_framed(std::span<const uint8_t> part) noexcept;
  // Ends the hash; the hasher may not be used afterwards.
  void finish(std::span<uint8_t, Len> out) noexcept;
  std::array<uint8_t, Len> finish() noexcept;

 private:
  State st_;
};

using Sha256 = Hasher<crypto_hash_sha256_state, 32>;
using Sha512 = Hasher<crypto_hash_sha512_state, 64>;

extern template class Hasher<crypto_hash_sha256_state, 32>;
extern template class Hasher<crypto_hash_sha512_state, 64>;

// The digest by value, for public data; a secret digest goes through a
// hasher into a wiped holder.
std::array<uint8_t, 32> sha256(std::span<const uint8_t> data) noexcept;
void sha512(std::span<const uint8_t> data, std::span<uint8_t, 64> out) noexcept;

}  // namespace sha2
