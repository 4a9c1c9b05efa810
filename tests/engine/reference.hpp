// Straightforward one-hash-at-a-time model of the engine's constructions
// (leaves, tree nodes, grinding), used to check the multi-lane code paths
// byte for byte.
#pragma once

#include <optional>
#include <span>
#include <utility>
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

// The address words of FORS and hypertree nodes.
inline hash::address::Word fors_address_word(uint64_t tree, uint32_t key_pair, uint32_t height, uint32_t index) {
  return hash::address::address_word32(0, tree, hash::address::kTypeFors, key_pair, height, index);
}
inline hash::address::Word hypertree_address_word(uint32_t layer, uint64_t tree, uint32_t height, uint32_t index) {
  return hash::address::address_word32(layer, tree, hash::address::kTypeHypertreeNode, 0, height, index);
}

// Root and authentication path of leaf x in one left-to-right pass over the
// leaves. leaf(i) -> Digest; node(k, j, left, right) -> Digest (k >= 1 is
// the height of the new node, j its index at that height).
template <class LeafFn, class NodeFn>
std::pair<Digest, std::vector<Digest>> treehash_root_and_auth_path(uint32_t h, uint32_t x, LeafFn&& leaf,
                                                                   NodeFn&& node) {
  std::vector<Digest> path(h, Digest{});
  std::vector<std::pair<Digest, uint32_t>> stack;
  stack.reserve(size_t(h) + 1);
  for (uint64_t i = 0; (i >> h) == 0; ++i) {
    Digest v = leaf(uint32_t(i));
    uint32_t k = 0;
    if (h > 0 && (i ^ x) == 1) path[0] = v;
    while (!stack.empty() && stack.back().second == k) {
      const Digest left = stack.back().first;
      stack.pop_back();
      ++k;
      v = node(k, uint32_t(i >> k), left, v);
      if (k < h && ((i ^ x) >> k) == 1) path[k] = v;
    }
    stack.emplace_back(v, k);
  }
  return {stack.back().first, std::move(path)};
}

// The root climbed from leaf x along its path; nothing when the path holds
// fewer than h nodes (extra nodes are not read).
template <class NodeFn>
std::optional<Digest> root_from_auth_path(uint32_t h, uint32_t x, const Digest& leaf, std::span<const Digest> path,
                                          NodeFn&& node) {
  if (path.size() < h) return std::nullopt;
  Digest v = leaf;
  for (uint32_t k = 0; k < h; ++k) {
    if ((x >> k) & 1)
      v = node(k + 1, x >> (k + 1), path[k], v);
    else
      v = node(k + 1, x >> (k + 1), v, path[k]);
  }
  return v;
}

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

// The 64 chain ends of hypertree leaf x of subtree (l, t), laid end to end.
inline std::vector<uint8_t> ht_chain_ends(const Digest& pk, const Digest& layer_seed, uint32_t l, uint64_t t,
                                          uint32_t x) {
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
  return ends;
}
inline Digest ht_leaf(const Digest& pk, const Digest& layer_seed, uint32_t l, uint64_t t, uint32_t x) {
  const std::vector<uint8_t> ends = ht_chain_ends(pk, layer_seed, l, t, x);
  return keccak_packed({Part(P::WOTS_C_PK), Part(pk), Part(ends.data(), ends.size())});
}

// Leaf i of FORS tree t under (tree, leaf): its secret, then the leaf hash.
inline Digest fors_leaf_hash(const Digest& public_seed, const hash::SecretSeed& sk_seed, uint64_t tree, uint32_t leaf,
                             uint32_t t, uint32_t i) {
  const auto a = fors_address_word(tree, leaf, 0, (t << P::FORS_HEIGHT) + i);
  hash::SecretSeed secret(keccak_packed({Part(P::FORS_SK), Part(sk_seed.array()), Part(public_seed), Part(a)}));
  return keccak_packed({Part(P::FORS_LEAF), Part(public_seed), Part(a), Part(secret.array())});
}

// Node (k, j) of FORS tree t: its index counts across all trees.
inline Digest fors_node_hash(const Digest& public_seed, uint64_t tree, uint32_t leaf, uint32_t t, uint32_t k,
                             uint32_t j, const Digest& left, const Digest& right) {
  const auto a = fors_address_word(tree, leaf, k, (t << (P::FORS_HEIGHT - k)) + j);
  return keccak_packed({Part(P::FORS_NODE), Part(public_seed), Part(a), Part(left), Part(right)});
}

// Node (k, j) of hypertree subtree (layer, tree).
inline Digest hypertree_node_hash(const Digest& public_seed, uint32_t layer, uint64_t tree, uint32_t k, uint32_t j,
                                  const Digest& left, const Digest& right) {
  const auto a = hypertree_address_word(layer, tree, k, j);
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
