// UXMSS: the stateful chain of WOTS+C one-time leaves. Node N(a) binds leaf
// a and node N(a + 1); N(capacity + 1) is a fixed tail; N(1) is the root.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/hash/secret.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "zeroize/zeroize.hpp"

namespace shrincs::uxmss {

using hash::Digest;
using SkSeed = hash::SecretSeed;
using PrfSeed = hash::SecretSeed;

using PrivateKey = hash::SeedPair;

struct StructuredPublicKey {
  Digest public_seed{};
  Digest root{};
  uint32_t capacity = 0;

  std::array<uint8_t, 68> to_bytes() const noexcept;
  // Nothing unless exactly 68 bytes.
  static std::optional<StructuredPublicKey> from_bytes(std::span<const uint8_t> b) noexcept;
};

// Public values of a key's chain kept in memory so that signing does not
// recompute the other leaves: L(1..m) and N(1..m+1). Never exported.
struct ChainCache {
  std::vector<Digest> leaves;  // leaves[a - 1] = L(a)
  std::vector<Digest> nodes;   // nodes[a - 1] = N(a), nodes[m] = tail
};

class Key {
 public:
  static constexpr size_t kEncodedLen = 136;

  // Key with next = 1 and its root computed (and the chain kept in memory).
  static Key generate(const SkSeed& sk_seed, const PrfSeed& prf_key, const Digest& public_seed, uint32_t capacity);
  // Reads the 136-byte form; checks no field and keeps no chain in memory.
  static std::optional<Key> from_bytes(std::span<const uint8_t> b);

  zeroize::SecretArray<kEncodedLen> to_bytes() const noexcept;
  StructuredPublicKey public_key() const noexcept { return {public_seed_, root_, capacity_}; }

  const PrivateKey& private_key() const noexcept { return priv_; }
  const Digest& public_seed() const noexcept { return public_seed_; }
  const Digest& root() const noexcept { return root_; }
  uint32_t capacity() const noexcept { return capacity_; }
  uint32_t next() const noexcept { return next_; }
  void set_next(uint32_t n) noexcept { next_ = n; }

  // Computes every leaf and node of the chain and keeps them; returns N(1).
  // Requires a capacity of 1 .. 4096.
  Digest build_cache();
  bool has_cache() const noexcept { return cache_ != nullptr; }
  const ChainCache* cache() const noexcept { return cache_.get(); }
  // Wipes both secret seeds.
  void zeroize() noexcept { priv_.zeroize(); }

 private:
  PrivateKey priv_;
  Digest public_seed_{};
  Digest root_{};
  uint32_t capacity_ = 0;
  uint32_t next_ = 0;
  std::shared_ptr<const ChainCache> cache_;
};

// N(from) of the chain of that capacity (the tail for from > capacity).
Digest stateful_subtree_root(const Key& key, const Digest& public_seed, uint32_t from, uint32_t capacity);
// Signs with leaf `next` and advances it; nothing (key unchanged) when next is
// 0, the key is exhausted or no grind counter wins.
std::optional<signature::Signature> sign_stateful_raw(Key& key, std::span<const uint8_t> message);
// Checks the signature against (public seed, root, capacity); no commitment.
bool verify_stateful_unsafe_raw(const StructuredPublicKey& pk, std::span<const uint8_t> message,
                                const signature::Signature& sig);

// Leaf values L(first) .. L(first + count - 1), computed side by side.
void stateful_leaves(const SkSeed& sk_seed, const Digest& public_seed, uint32_t first, uint32_t count, Digest* out);

}  // namespace shrincs::uxmss
