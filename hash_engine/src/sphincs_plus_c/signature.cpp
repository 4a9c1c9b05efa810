#include "hash_engine/sphincs_plus_c/signature.hpp"

#include <cstring>

namespace sphincs_plus_c::signature {

using hash::Digest;

size_t flat_len(const Signature& sig) noexcept {
  size_t n = 36;
  for (const auto& e : sig.fors.entries) n += 32 + 32 * e.auth_path.size();
  for (const auto& l : sig.layers) n += 68 + 32 * (l.wots_values.size() + l.auth_path.size());
  return n;
}

namespace {

uint8_t* put(uint8_t* p, const Digest& d) { return static_cast<uint8_t*>(std::memcpy(p, d.data(), 32)) + 32; }
uint8_t* put_all(uint8_t* p, const std::vector<Digest>& v) {
  for (const Digest& d : v) p = put(p, d);
  return p;
}

struct Reader {
  std::span<const uint8_t> b;
  size_t pos = 0;
  bool ok = true;
  Digest hash() {
    Digest d{};
    if (b.size() - pos < 32) {
      ok = false;
      return d;
    }
    std::memcpy(d.data(), b.data() + pos, 32);
    pos += 32;
    return d;
  }
  uint32_t u32() {
    if (b.size() - pos < 4) {
      ok = false;
      return 0;
    }
    pos += 4;
    return hash::get_be32(b.data() + pos - 4);
  }
  std::vector<Digest> hashes(size_t n) {
    std::vector<Digest> v(n);
    for (auto& d : v) d = hash();
    return v;
  }
};

}  // namespace

std::optional<size_t> write_flat(const Signature& sig, std::span<uint8_t> out) {
  const size_t n = flat_len(sig);
  if (out.size() < n) return std::nullopt;
  uint8_t* p = put(out.data(), sig.fors.randomizer);
  hash::put_be32(p, sig.fors.counter);
  p += 4;
  for (const auto& e : sig.fors.entries) p = put_all(put(p, e.secret), e.auth_path);
  for (const auto& l : sig.layers) {
    p = put(put(p, l.leaf), l.randomizer);
    hash::put_be32(p, l.counter);
    p = put_all(put_all(p + 4, l.wots_values), l.auth_path);
  }
  return n;
}

std::optional<Signature> decode_flat(std::span<const uint8_t> b) {
  if (b.size() != kFlatLen) return std::nullopt;
  Reader r{b};
  Signature s;
  s.fors.randomizer = r.hash();
  s.fors.counter = r.u32();
  s.fors.entries.resize(21);
  for (auto& e : s.fors.entries) {
    e.secret = r.hash();
    e.auth_path = r.hashes(14);
  }
  s.layers.resize(8);
  for (auto& l : s.layers) {
    l.leaf = r.hash();
    l.randomizer = r.hash();
    l.counter = r.u32();
    l.wots_values = r.hashes(64);
    l.auth_path = r.hashes(8);
  }
  if (!r.ok) return std::nullopt;
  return s;
}

}  // namespace sphincs_plus_c::signature
