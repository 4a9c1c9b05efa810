// HMAC over SHA-256 or SHA-512 (libsodium's), and the two key-derivation
// functions the library builds on it: HKDF (RFC 5869) and PBKDF2 (RFC 8018).
// Key material, pseudorandom keys and MAC states are wiped when released;
// misuse of the interfaces (a wrong output size) is an internal fault.
#pragma once

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "sha2/sha2.hpp"

namespace sha2 {

// A MAC keyed once: the key is absorbed into the inner and outer states a
// single time, and every later message restarts from a copy of them.
class Hmac {
 public:
  Hmac(Hash hash, std::span<const uint8_t> key) noexcept;
  ~Hmac();
  Hmac(const Hmac&) = delete;
  Hmac& operator=(const Hmac&) = delete;

  // Starts a new message under the same key.
  void restart() noexcept;
  Hmac& update(std::span<const uint8_t> data) noexcept;
  // Writes the tag and leaves the MAC to be restarted; `out` must be exactly
  // size() bytes.
  void finish(std::span<uint8_t> out);
  size_t size() const noexcept { return digest_len(hash_); }

 private:
  union State {
    crypto_auth_hmacsha256_state s256;
    crypto_auth_hmacsha512_state s512;
  };
  Hash hash_;
  State keyed_;
  State work_;
};

// HKDF: the constructor extracts the pseudorandom key from `salt` and `ikm`
// and keeps only the expansion MAC keyed with it.
class Hkdf {
 public:
  Hkdf(Hash hash, std::span<const uint8_t> salt, std::span<const uint8_t> ikm);

  // The most bytes one expansion gives: 255 blocks.
  size_t max_len() const noexcept { return 255 * mac_.size(); }

  // Writes out.size() bytes of the expansion under the info made of the
  // concatenated parts; false, with nothing written, beyond max_len().
  bool expand(std::initializer_list<std::span<const uint8_t>> info, std::span<uint8_t> out);
  bool expand(std::span<const uint8_t> info, std::span<uint8_t> out) { return expand({info}, out); }

 private:
  Hmac mac_;
};

// PBKDF2 with HMAC as the pseudorandom function: writes out.size() bytes
// derived from `password` and `salt` with `rounds` iterations (at least 1).
void pbkdf2(Hash hash, std::span<const uint8_t> password, std::span<const uint8_t> salt, uint32_t rounds,
            std::span<uint8_t> out);

}  // namespace sha2
