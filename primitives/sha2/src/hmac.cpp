#include "sha2/hmac.hpp"

#include <algorithm>
#include <cstring>

#include "fault/fault.hpp"
#include "sha2/sha2.hpp"
#include "zeroize/zeroize.hpp"

namespace sha2 {
namespace {

// libsodium is handed a valid pointer even for an empty key or message.
const uint8_t* nonnull(std::span<const uint8_t> s) noexcept {
  static const uint8_t kEmpty = 0;
  return s.empty() ? &kEmpty : s.data();
}

// The hash's PRK, held in the larger of the two sizes.
using Block = zeroize::SecretArray<64>;

}  // namespace

Hmac::Hmac(Hash hash, std::span<const uint8_t> key) noexcept : hash_(hash) {
  if (hash_ == Hash::Sha256)
    crypto_auth_hmacsha256_init(&keyed_.s256, nonnull(key), key.size());
  else
    crypto_auth_hmacsha512_init(&keyed_.s512, nonnull(key), key.size());
  restart();
}

Hmac::~Hmac() {
  zeroize::wipe_object(keyed_);
  zeroize::wipe_object(work_);
}

void Hmac::restart() noexcept { work_ = keyed_; }

Hmac& Hmac::update(std::span<const uint8_t> data) noexcept {
  if (data.empty()) return *this;
  if (hash_ == Hash::Sha256)
    crypto_auth_hmacsha256_update(&work_.s256, data.data(), data.size());
  else
    crypto_auth_hmacsha512_update(&work_.s512, data.data(), data.size());
  return *this;
}

void Hmac::finish(std::span<uint8_t> out) {
  fault::check(out.size() == size(), "HMAC output of the wrong size");
  if (hash_ == Hash::Sha256)
    crypto_auth_hmacsha256_final(&work_.s256, out.data());
  else
    crypto_auth_hmacsha512_final(&work_.s512, out.data());
  restart();
}

namespace {

Block extract(Hash hash, std::span<const uint8_t> salt, std::span<const uint8_t> ikm) {
  Hmac mac(hash, salt);
  Block prk;
  mac.update(ikm).finish(std::span<uint8_t>(prk.data(), digest_len(hash)));
  return prk;
}

}  // namespace

Hkdf::Hkdf(Hash hash, std::span<const uint8_t> salt, std::span<const uint8_t> ikm)
    : mac_(hash, std::span<const uint8_t>(extract(hash, salt, ikm).data(), digest_len(hash))) {}

bool Hkdf::expand(std::initializer_list<std::span<const uint8_t>> info, std::span<uint8_t> out) {
  if (out.size() > max_len()) return false;
  const size_t len = mac_.size();
  Block t;  // T(i), empty before the first block
  size_t t_len = 0;
  uint8_t counter = 1;
  for (size_t off = 0; off < out.size(); off += len, ++counter) {
    mac_.update(std::span<const uint8_t>(t.data(), t_len));
    for (std::span<const uint8_t> part : info) mac_.update(part);
    mac_.update(std::span<const uint8_t>(&counter, 1));
    mac_.finish(std::span<uint8_t>(t.data(), len));
    t_len = len;
    std::memcpy(out.data() + off, t.data(), std::min(len, out.size() - off));
  }
  return true;
}

void pbkdf2(Hash hash, std::span<const uint8_t> password, std::span<const uint8_t> salt, uint32_t rounds,
            std::span<uint8_t> out) {
  fault::check(rounds >= 1, "PBKDF2 needs at least one round");
  Hmac mac(hash, password);
  const size_t len = mac.size();
  Block u, t;
  for (uint32_t block = 1; (block - 1) * len < out.size(); ++block) {
    // U1 = PRF(P, S || BE32(i)), U(j+1) = PRF(P, U(j)), T = U1 ^ ... ^ Uc.
    const auto index = be32(block);
    mac.update(salt).update(index).finish(std::span<uint8_t>(u.data(), len));
    std::memcpy(t.data(), u.data(), len);
    for (uint32_t r = 1; r < rounds; ++r) {
      mac.update(std::span<const uint8_t>(u.data(), len)).finish(std::span<uint8_t>(u.data(), len));
      for (size_t i = 0; i < len; ++i) t[i] ^= u[i];
    }
    const size_t off = (block - 1) * len;
    std::memcpy(out.data() + off, t.data(), std::min(len, out.size() - off));
  }
}

}  // namespace sha2
