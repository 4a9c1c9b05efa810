#include "sha2/sha2.hpp"

#include "zeroize/zeroize.hpp"

namespace sha2 {
namespace {

// libsodium's entry points for each state type.
void init(crypto_hash_sha256_state& s) noexcept { crypto_hash_sha256_init(&s); }
void init(crypto_hash_sha512_state& s) noexcept { crypto_hash_sha512_init(&s); }
void absorb(crypto_hash_sha256_state& s, const uint8_t* p, size_t n) noexcept { crypto_hash_sha256_update(&s, p, n); }
void absorb(crypto_hash_sha512_state& s, const uint8_t* p, size_t n) noexcept { crypto_hash_sha512_update(&s, p, n); }
void squeeze(crypto_hash_sha256_state& s, uint8_t* out) noexcept { crypto_hash_sha256_final(&s, out); }
void squeeze(crypto_hash_sha512_state& s, uint8_t* out) noexcept { crypto_hash_sha512_final(&s, out); }

}  // namespace

template <class State, size_t Len>
Hasher<State, Len>::Hasher() noexcept {
  init(st_);
}

template <class State, size_t Len>
Hasher<State, Len>::~Hasher() {
  zeroize::wipe_object(st_);
}

template <class State, size_t Len>
Hasher<State, Len>& Hasher<State, Len>::update(std::span<const uint8_t> data) noexcept {
  // An empty part may come with a null pointer, which libsodium must not see.
  if (!data.empty()) absorb(st_, data.data(), data.size());
  return *this;
}

template <class State, size_t Len>
Hasher<State, Len>& Hasher<State, Len>::update_framed(std::span<const uint8_t> part) noexcept {
  const auto len = be64(part.size());
  absorb(st_, len.data(), len.size());
  return update(part);
}

template <class State, size_t Len>
void Hasher<State, Len>::finish(std::span<uint8_t, Len> out) noexcept {
  squeeze(st_, out.data());
}

template <class State, size_t Len>
std::array<uint8_t, Len> Hasher<State, Len>::finish() noexcept {
  std::array<uint8_t, Len> out;
  finish(std::span<uint8_t, Len>(out));
  return out;
}

template class Hasher<crypto_hash_sha256_state, 32>;
template class Hasher<crypto_hash_sha512_state, 64>;

std::array<uint8_t, 32> sha256(std::span<const uint8_t> data) noexcept { return Sha256().update(data).finish(); }

void sha512(std::span<const uint8_t> data, std::span<uint8_t, 64> out) noexcept { Sha512().update(data).finish(out); }

}  // namespace sha2
