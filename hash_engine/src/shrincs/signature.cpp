#include "hash_engine/shrincs/signature.hpp"

#include <cstring>

namespace shrincs::signature {

size_t stateful_len(const Signature& sig) noexcept { return 36 + 32 * (sig.wots_values.size() + sig.auth_path.size()); }

std::optional<size_t> write_stateful(const Signature& sig, std::span<uint8_t> out) {
  const size_t n = stateful_len(sig);
  if (out.size() < n) return std::nullopt;
  std::memcpy(out.data(), sig.randomizer.data(), 32);
  hash::put_be32(out.data() + 32, sig.counter);
  uint8_t* p = out.data() + 36;
  for (const Digest& v : sig.wots_values) p = static_cast<uint8_t*>(std::memcpy(p, v.data(), 32)) + 32;
  for (const Digest& v : sig.auth_path) p = static_cast<uint8_t*>(std::memcpy(p, v.data(), 32)) + 32;
  return n;
}

std::optional<Signature> decode_stateful(std::span<const uint8_t> b) {
  if (b.size() < kStatefulFixedLen || (b.size() - kStatefulFixedLen) % 32 != 0) return std::nullopt;
  Signature sig;
  std::memcpy(sig.randomizer.data(), b.data(), 32);
  sig.counter = hash::get_be32(b.data() + 32);
  const uint8_t* p = b.data() + 36;
  sig.wots_values.resize(64);
  for (auto& v : sig.wots_values) {
    std::memcpy(v.data(), p, 32);
    p += 32;
  }
  sig.auth_path.resize((b.size() - kStatefulFixedLen) / 32);
  for (auto& v : sig.auth_path) {
    std::memcpy(v.data(), p, 32);
    p += 32;
  }
  return sig;
}

}  // namespace shrincs::signature
