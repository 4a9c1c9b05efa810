// Straightforward one-hash-at-a-time model of the engine's constructions,
// used to check the multi-lane code paths byte for byte.
#pragma once

#include <vector>

#include "hash_engine/hash/address.hpp"
#include "hash_engine/hash/ops.hpp"
#include "hash_engine/profiles/p256s.hpp"

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
      v = keccak_packed({Part(P::WOTS_C_CHAIN), Part(pk), Part(hash::address::address_word32(l, t, 0, x, i, j)), Part(v)});
    ends.insert(ends.end(), v.begin(), v.end());
  }
  return keccak_packed({Part(P::WOTS_C_PK), Part(pk), Part(ends.data(), ends.size())});
}

}  // namespace ref
