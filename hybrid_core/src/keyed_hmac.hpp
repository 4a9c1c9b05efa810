// HMAC keyed once through libcrypto: the padded key is absorbed into the
// inner and outer hash states a single time, and every later MAC restarts
// from copies of those states. Failures of libcrypto are internal faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct evp_mac_ctx_st;

namespace valtorimesca::detail {

class KeyedHmac {
 public:
  enum class Hash { Sha256, Sha512 };

  // Keys the MAC and leaves it ready for the first message.
  KeyedHmac(Hash hash, std::span<const uint8_t> key);
  ~KeyedHmac();
  KeyedHmac(const KeyedHmac&) = delete;
  KeyedHmac& operator=(const KeyedHmac&) = delete;

  // Starts a new message under the same key.
  void restart();
  void update(std::span<const uint8_t> data);
  // Writes the tag; `out` must be exactly size() bytes.
  void finish(std::span<uint8_t> out);
  size_t size() const noexcept { return size_; }

 private:
  evp_mac_ctx_st* ctx_ = nullptr;
  size_t size_;
};

}  // namespace valtorimesca::detail
