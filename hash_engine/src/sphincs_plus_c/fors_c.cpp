#include "hash_engine/sphincs_plus_c/fors_c.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "hash/lanes.hpp"
#include "hash_engine/hash/address.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/trace_macros.hpp"
#include "hash_engine/treehash.hpp"
#include "hash_engine/wots_c.hpp"
#include "subtle/ct_marks.hpp"

namespace sphincs_plus_c::fors_c {

using hash::Part;
using hash::ops::keccak_packed;
using P = profiles::p256s::Profile256s;

namespace {

constexpr uint32_t kH = P::FORS_HEIGHT;
constexpr size_t kSkInput = P::FORS_SK.size() + 32 + 32 + 32;
constexpr size_t kLeafInput = P::FORS_LEAF.size() + 32 + 32 + 32;
constexpr size_t kNodeInput = P::FORS_NODE.size() + 32 + 32 + 64;
constexpr uint32_t kLeafChunk = 256;

void put_address(uint8_t* dst, uint64_t tree, uint32_t leaf, uint32_t height, uint32_t index) {
  hash::address::write_address_word32(dst, 0, tree, hash::address::kTypeFors, leaf, height, index);
}

// label ‖ public seed ‖ address(tree, leaf, 0, index) ‖ leaf secret
void fill_leaf(uint8_t* dst, const Digest& pk, uint64_t tree, uint32_t leaf, uint32_t index, const Digest& secret) {
  std::memcpy(dst, P::FORS_LEAF.data(), P::FORS_LEAF.size());
  dst += P::FORS_LEAF.size();
  std::memcpy(dst, pk.data(), 32);
  put_address(dst + 32, tree, leaf, 0, index);
  std::memcpy(dst + 64, secret.data(), 32);
}

// label ‖ public seed ‖ address(tree, leaf, height, index) ‖ left ‖ right
void fill_node(uint8_t* dst, const Digest& pk, uint64_t tree, uint32_t leaf, uint32_t height, uint32_t index,
               const Digest& left, const Digest& right) {
  std::memcpy(dst, P::FORS_NODE.data(), P::FORS_NODE.size());
  dst += P::FORS_NODE.size();
  std::memcpy(dst, pk.data(), 32);
  put_address(dst + 32, tree, leaf, height, index);
  std::memcpy(dst + 64, left.data(), 32);
  std::memcpy(dst + 96, right.data(), 32);
}

// Digest blocks 0 and 1 of one counter, into D (64 bytes).
size_t digest_input_len(size_t msg_len) { return P::FORS_DIGEST.size() + 32 * 4 + 4 + msg_len + 4; }

void fill_digest_input(uint8_t* dst, const Digest& pk, const Digest& root, std::span<const uint8_t> message,
                       const Digest& r, uint32_t counter, uint32_t block) {
  std::memcpy(dst, P::FORS_DIGEST.data(), P::FORS_DIGEST.size());
  dst += P::FORS_DIGEST.size();
  std::memcpy(dst, P::FORS_DIGEST_CONST.data(), 32);
  std::memcpy(dst + 32, pk.data(), 32);
  std::memcpy(dst + 64, root.data(), 32);
  std::memcpy(dst + 96, r.data(), 32);
  hash::put_be32(dst + 128, counter);
  if (!message.empty()) std::memcpy(dst + 132, message.data(), message.size());
  hash::put_be32(dst + 132 + message.size(), block);
}

// Digests of counters base .. base + k - 1 (k <= 8).
void fors_digests(const Digest& pk, const Digest& root, std::span<const uint8_t> message, const Digest& r,
                  uint32_t base, size_t k, SigningForsDigest* out) {
  uint8_t d[8][64];
  hash::lanes::hash_many(
      2 * k, digest_input_len(message.size()),
      [&](size_t idx, uint8_t* dst) {
        fill_digest_input(dst, pk, root, message, r, base + uint32_t(idx / 2), uint32_t(idx % 2));
      },
      [&](size_t idx, const uint8_t* dg) { std::memcpy(d[idx / 2] + 32 * (idx % 2), dg, 32); });
  for (size_t j = 0; j < k; ++j) out[j] = read_fors_digest(std::span<const uint8_t, 64>(d[j], 64));
}

// The FORS public key: H("fors-pk" ‖ public seed ‖ the 21 roots, tree 0 first).
Digest fors_public_key(const Digest& pk, const std::array<Digest, P::FORS_TREES>& roots) {
  return keccak_packed({Part(P::FORS_PK), Part(pk), Part(roots[0].data(), sizeof(roots))});
}

}  // namespace

SigningForsDigest read_fors_digest(std::span<const uint8_t, 64> d) {
  SigningForsDigest s;
  for (uint32_t k = 0; k < 21; ++k) s.indices[k] = *hash::ops::read_bits32(d, 14 * k, 14);
  const uint32_t last = *hash::ops::read_bits32(d, 14 * 21, 14);
  s.tree_index = *hash::ops::read_bits64(d, 308, 56);
  s.leaf_index = *hash::ops::read_bits32(d, 364, 8);
  s.wins = last == 0;
  return s;
}

SigningForsDigest signer_fors_digest(const Digest& public_seed, const Digest& root, std::span<const uint8_t> message,
                                     const Digest& randomizer, uint32_t counter) {
  SigningForsDigest s;
  fors_digests(public_seed, root, message, randomizer, counter, 1, &s);
  return s;
}

std::optional<std::pair<uint32_t, SigningForsDigest>> winning_fors_counter_and_digest(const key::Key& key,
                                                                                      std::span<const uint8_t> message,
                                                                                      const Digest& randomizer) {
  return winning_fors_counter_and_digest_below(P::FORS_COUNTER_BOUND, key, message, randomizer);
}

std::optional<std::pair<uint32_t, SigningForsDigest>> winning_fors_counter_and_digest_below(
    uint32_t limit, const key::Key& key, std::span<const uint8_t> message, const Digest& randomizer) {
  const uint32_t every = trace_macros::stateless_trace_counter_every();
  const bool on = trace_macros::stateless_trace_enabled();
  if (on) trace_macros::write_line("FORS counter search start limit=" + std::to_string(limit));
  auto won = wots_c::lowest_winning_counter<SigningForsDigest, 8>(
      limit,
      [&](uint32_t base, size_t k, SigningForsDigest* out) {
        fors_digests(key.public_seed, key.root, message, randomizer, base, k, out);
      },
      [](const SigningForsDigest& d) { return d.wins; },
      [&](uint32_t c) {
        if (on && c % every == 0)
          trace_macros::write_line("FORS counter search tried=" + std::to_string(c) + "/" + std::to_string(limit));
      });
  if (on) {
    if (won)
      trace_macros::write_line("FORS counter search success counter=" + std::to_string(won->first));
    else
      trace_macros::write_line("FORS counter search exhausted limit=" + std::to_string(limit));
  }
  return won;
}

std::pair<Digest, std::vector<Digest>> fors_tree_root_and_auth_path(const key::Key& key, uint64_t tree, uint32_t leaf,
                                                                    uint32_t t, uint32_t x, Digest& revealed) {
  const Digest& pk = key.public_seed;
  std::vector<Digest> leaves(size_t(1) << kH);
  std::vector<Digest> secrets(kLeafChunk);
  for (uint32_t base = 0; base < (1u << kH); base += kLeafChunk) {
    hash::lanes::hash_many(
        kLeafChunk, kSkInput,
        [&](size_t j, uint8_t* dst) {
          std::memcpy(dst, P::FORS_SK.data(), P::FORS_SK.size());
          dst += P::FORS_SK.size();
          std::memcpy(dst, key.priv.sk_seed.data(), 32);
          std::memcpy(dst + 32, pk.data(), 32);
          put_address(dst + 64, tree, leaf, 0, (t << kH) + base + uint32_t(j));
        },
        [&](size_t j, const uint8_t* d) { std::memcpy(secrets[j].data(), d, 32); });
    if (x >= base && x < base + kLeafChunk) revealed = secrets[x - base];
    hash::lanes::hash_many(
        kLeafChunk, kLeafInput,
        [&](size_t j, uint8_t* dst) { fill_leaf(dst, pk, tree, leaf, (t << kH) + base + uint32_t(j), secrets[j]); },
        [&](size_t j, const uint8_t* d) { std::memcpy(leaves[base + j].data(), d, 32); });
  }
  zeroize::wipe(secrets.data(), secrets.size() * sizeof(Digest));
  return treehash::root_and_auth_path_by_levels(
      kH, x, std::move(leaves), [&](uint32_t k, size_t count, const Digest* children, Digest* out) {
        hash::lanes::hash_many(
            count, kNodeInput,
            [&](size_t j, uint8_t* dst) {
              fill_node(dst, pk, tree, leaf, k, (t << (kH - k)) + uint32_t(j), children[2 * j], children[2 * j + 1]);
            },
            [&](size_t j, const uint8_t* d) { std::memcpy(out[j].data(), d, 32); });
      });
}

std::optional<SignedForsC> sign_fors_c(const key::Key& key, std::span<const uint8_t> message) {
  SignedForsC out;
  out.signature.randomizer = keccak_packed({Part(P::FORS_RANDOMIZER), Part(key.priv.prf_key.array()), Part(message)});
  // Published in the signature: the counter search over it, and the tree
  // and leaf indices it picks, are public.
  subtle::mark_public(out.signature.randomizer.data(), 32);
  trace_macros::stateless_trace("FORS randomizer ready");
  auto won = winning_fors_counter_and_digest(key, message, out.signature.randomizer);
  if (!won) {
    trace_macros::stateless_trace("FORS no winning counter found");
    return std::nullopt;
  }
  const SigningForsDigest& d = won->second;
  out.signature.counter = won->first;
  out.tree_index = d.tree_index;
  out.leaf_index = d.leaf_index;
  trace_macros::stateless_trace_with([&] {
    return "FORS winner counter=" + std::to_string(won->first) + " tree_index=" + std::to_string(d.tree_index) +
           " leaf_index=" + std::to_string(d.leaf_index);
  });
  std::array<Digest, P::FORS_TREES> roots;
  out.signature.entries.reserve(P::FORS_TREES);
  for (uint32_t t = 0; t < P::FORS_TREES; ++t) {
    if (t == 0 || t + 1 == P::FORS_TREES)
      trace_macros::stateless_trace_with(
          [&] { return "FORS materializing tree " + std::to_string(t + 1) + "/" + std::to_string(P::FORS_TREES); });
    Entry e;
    auto [root, path] = fors_tree_root_and_auth_path(key, d.tree_index, d.leaf_index, t, d.indices[t], e.secret);
    e.auth_path = std::move(path);
    out.signature.entries.push_back(std::move(e));
    roots[t] = root;
  }
  out.public_key = fors_public_key(key.public_seed, roots);
  return out;
}

// The 21 trees are climbed side by side: their leaves in one batch, then one
// batch per height.
std::optional<ForsVerified> verify_fors_c_and_return_root(const Digest& public_seed, const Digest& root,
                                                          std::span<const uint8_t> message, const Signature& sig) {
  constexpr uint32_t kTrees = P::FORS_TREES;
  if (sig.entries.size() != kTrees) return std::nullopt;
  const SigningForsDigest d = signer_fors_digest(public_seed, root, message, sig.randomizer, sig.counter);
  if (!d.wins) return std::nullopt;
  for (const Entry& e : sig.entries)
    if (e.auth_path.size() != kH) return std::nullopt;
  std::array<Digest, kTrees> node;
  hash::lanes::hash_many(
      kTrees, kLeafInput,
      [&](size_t t, uint8_t* dst) {
        fill_leaf(dst, public_seed, d.tree_index, d.leaf_index, (uint32_t(t) << kH) + d.indices[t],
                  sig.entries[t].secret);
      },
      [&](size_t t, const uint8_t* dg) { std::memcpy(node[t].data(), dg, 32); });
  for (uint32_t k = 0; k < kH; ++k) {  // node[t] is at height k of tree t
    hash::lanes::hash_many(
        kTrees, kNodeInput,
        [&](size_t t, uint8_t* dst) {
          const uint32_t x = d.indices[t];
          const bool right = (x >> k) & 1;
          const Digest& sibling = sig.entries[t].auth_path[k];
          fill_node(dst, public_seed, d.tree_index, d.leaf_index, k + 1, (uint32_t(t) << (kH - k - 1)) + (x >> (k + 1)),
                    right ? sibling : node[t], right ? node[t] : sibling);
        },
        [&](size_t t, const uint8_t* dg) { std::memcpy(node[t].data(), dg, 32); });
  }
  ForsVerified v;
  v.public_key = fors_public_key(public_seed, node);
  v.tree_index = d.tree_index;
  v.leaf_index = d.leaf_index;
  return v;
}

}  // namespace sphincs_plus_c::fors_c
