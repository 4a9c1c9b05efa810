// Straightforward one-hash-at-a-time model of the engine's constructions
// (leaves, tree nodes, grinding), used to check the multi-lane code paths
// byte for byte.
#pragma once

#include <optional>
#include <vector>

#include "hash_engine/hash/address.hpp"
#include "hash_engine/hash/ops.hpp"
#include "hash_engine/hash/secret.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/shrincs/uxmss.hpp"
#include "hash_engine/wots_c.hpp"

namespace ref {

using hash::Digest;
using hash::Part;
using hash::ops::keccak_packed;
using P = profiles::p256s::Profile256s;

inline Digest ux_secret(const Digest& sk, const Digest& pk, uint32_t a, uint32_t i) {
  return keccak_packed({Part(P::UXMSS_CHAIN_SECRET), Part(sk), Part(pk), Part(hash::be32(a)), Part(hash::be32(i))});
}
inline Digest ux_walk(const Digest& pk, uint32_t a, uint32_t i, Digest v, uint32_t from, uint32_t to) {
  for (uint32_t j = from; j < to; ++j)
    v = keccak_packed({Part(P::UXMSS_CHAIN), Part(pk), Part(hash::address::address_word32(0, 0, 0, a, i, j)), Part(v)});
  return v;
}
inline Digest ux_leaf(const Digest& sk, const Digest& pk, uint32_t a) {
  std::vector<uint8_t> ends;
  for (uint32_t i = 0; i < 64; ++i) {
    Digest e = ux_walk(pk, a, i, ux_secret(sk, pk, a, i), 0, 15);
    ends.insert(ends.end(), e.begin(), e.end());
  }
  return keccak_packed({Part(P::UXMSS_PK), Part(pk), Part(hash::be32(a)), Part(ends.data(), ends.size())});
}
inline Digest ux_tail(const Digest& pk, uint32_t m) {
  return keccak_packed({Part(P::UXMSS_EMPTY_TAIL), Part(pk), Part(hash::be32(m))});
}
inline Digest ux_node(const Digest& pk, uint32_t a, const Digest& l, const Digest& n) {
  return keccak_packed({Part(P::UXMSS_NODE), Part(pk), Part(hash::be32(a)), Part(l), Part(n)});
}
inline Digest ux_chain_node(const Digest& sk, const Digest& pk, uint32_t from, uint32_t m) {
  Digest n = ux_tail(pk, m);
  for (uint32_t a = m; a >= from && a >= 1; --a) n = ux_node(pk, a, ux_leaf(sk, pk, a), n);
  return n;
}

inline Digest ht_leaf(const Digest& pk, const Digest& layer_seed, uint32_t l, uint64_t t, uint32_t x) {
  Digest ls = keccak_packed({Part(P::HT_LEAF_SEED), Part(layer_seed), Part(hash::be64(t)), Part(hash::be32(x))});
  Digest lss = keccak_packed({Part(P::HT_WOTS_SK_SEED), Part(ls)});
  std::vector<uint8_t> ends;
  for (uint32_t i = 0; i < 64; ++i) {
    Digest v = keccak_packed({Part(P::WOTS_C_SECRET), Part(lss), Part(hash::be32(i))});
    for (uint32_t j = 0; j < 15; ++j)
      v = keccak_packed(
          {Part(P::WOTS_C_CHAIN), Part(pk), Part(hash::address::address_word32(l, t, 0, x, i, j)), Part(v)});
    ends.insert(ends.end(), v.begin(), v.end());
  }
  return keccak_packed({Part(P::WOTS_C_PK), Part(pk), Part(ends.data(), ends.size())});
}

// Leaf i of FORS tree t under (tree, leaf): its secret, then the leaf hash.
inline Digest fors_leaf_hash(const Digest& public_seed, const hash::SecretSeed& sk_seed, uint64_t tree, uint32_t leaf,
                             uint32_t t, uint32_t i) {
  const auto a = hash::address::fors_address_word(tree, leaf, 0, (t << P::FORS_HEIGHT) + i);
  hash::SecretSeed secret(keccak_packed({Part(P::FORS_SK), Part(sk_seed.array()), Part(public_seed), Part(a)}));
  return keccak_packed({Part(P::FORS_LEAF), Part(public_seed), Part(a), Part(secret.array())});
}

// Node (k, j) of FORS tree t: its index counts across all trees.
inline Digest fors_node_hash(const Digest& public_seed, uint64_t tree, uint32_t leaf, uint32_t t, uint32_t k,
                             uint32_t j, const Digest& left, const Digest& right) {
  const auto a = hash::address::fors_address_word(tree, leaf, k, (t << (P::FORS_HEIGHT - k)) + j);
  return keccak_packed({Part(P::FORS_NODE), Part(public_seed), Part(a), Part(left), Part(right)});
}

// Node (k, j) of hypertree subtree (layer, tree).
inline Digest hypertree_node_hash(const Digest& public_seed, uint32_t layer, uint64_t tree, uint32_t k, uint32_t j,
                                  const Digest& left, const Digest& right) {
  const auto a = hash::address::hypertree_address_word(layer, tree, k, j);
  return keccak_packed({Part(P::HT_NODE), Part(public_seed), Part(a), Part(left), Part(right)});
}

// L(a) of a UXMSS key: from its chain in memory when it has one for this
// public seed, else computed alone.
inline Digest stateful_wots_pk_hash(const shrincs::uxmss::Key& key, const Digest& public_seed, uint32_t a) {
  if (key.has_cache() && key.public_seed() == public_seed && a >= 1 && a <= key.capacity())
    return key.cache()->leaves[a - 1];
  Digest out;
  shrincs::uxmss::stateful_leaves(key.private_key().sk_seed, public_seed, a, 1, &out);
  return out;
}

// Counters 0, 1, ... below `bound`, one digest at a time: the first whose
// digits sum to `target`, with values(digits).
template <class DigestFn, class ValuesFn>
std::optional<wots_c::GrindResult> grind_digit_sum(uint32_t bound, uint32_t target, DigestFn&& digest,
                                                   ValuesFn&& values) {
  for (uint32_t c = 0; c < bound; ++c) {
    const Digest d = digest(c);
    if (hash::ops::digit_sum(d) == target) return wots_c::GrindResult{c, values(wots_c::digits_of(d))};
  }
  return std::nullopt;
}

}  // namespace ref
