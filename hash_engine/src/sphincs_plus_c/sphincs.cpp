#include "hash_engine/sphincs_plus_c/sphincs.hpp"

#include <cstring>
#include <string>

#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/trace_macros.hpp"
#include "subtle/ct_marks.hpp"

namespace sphincs_plus_c {

using hash::Digest;
using hash::Part;
using hash::ops::keccak_packed;
using P = profiles::p256s::Profile256s;

namespace key {

std::optional<Key> Key::from_bytes(std::span<const uint8_t> b) {
  if (b.size() != kEncodedLen) return std::nullopt;
  Key k;
  hash::read_key_fields(b.data(), k.priv, k.public_seed, k.root);
  return k;
}

zeroize::SecretArray<Key::kEncodedLen> Key::to_bytes() const noexcept {
  zeroize::SecretArray<kEncodedLen> b;
  hash::write_key_fields(b.data(), priv, public_seed, root);
  return b;
}

}  // namespace key

std::optional<signature::Signature> sign(const key::Key& key, std::span<const uint8_t> message) {
  trace_macros::stateless_trace_with([&] {
    return "FORS start message_len=" + std::to_string(message.size()) +
           " signed_trees=" + std::to_string(P::FORS_TREES) + " max_counter=" + std::to_string(P::FORS_COUNTER_BOUND);
  });
  auto fors = fors_c::sign_fors_c(key, message);
  if (!fors) return std::nullopt;
  trace_macros::stateless_trace_with([&] {
    return "hypertree start bottom_tree=" + std::to_string(fors->tree_index) +
           " bottom_leaf=" + std::to_string(fors->leaf_index) + " layers=" + std::to_string(P::HT_LAYERS);
  });
  const auto seeds = hypertree::hypertree_layer_seeds(key.priv.sk_seed);
  signature::Signature sig;
  sig.fors = std::move(fors->signature);
  sig.layers.reserve(P::HT_LAYERS);
  // What each layer signs (the FORS public key, then the root of the
  // subtree below) is recomputed by every verifier, and the leaf value and
  // randomizer of each layer are published, so the counter search and the
  // chain lengths it yields are public.
  Digest m = fors->public_key;
  subtle::mark_public(m.data(), m.size());
  uint64_t t = fors->tree_index;
  uint32_t x = fors->leaf_index;
  for (uint32_t l = 0; l < P::HT_LAYERS; ++l) {
    trace_macros::stateless_trace_with([&] {
      return "hypertree layer=" + std::to_string(l) + " tree=" + std::to_string(t) + " leaf=" + std::to_string(x);
    });
    hypertree::LayerSignature ls;
    auto [root, path] = hypertree::hypertree_subtree(key.public_seed, seeds[l], l, t, x, ls.leaf);
    ls.auth_path = std::move(path);
    ls.randomizer = keccak_packed({Part(P::WOTS_C_RANDOMIZER), Part(key.priv.prf_key.array()), Part(m)});
    subtle::mark_public(root.data(), root.size());
    subtle::mark_public(ls.leaf.data(), ls.leaf.size());
    subtle::mark_public(ls.randomizer.data(), ls.randomizer.size());
    auto w = hypertree::sign_stateless_wots_c(key.public_seed, seeds[l], l, t, x, ls.leaf, ls.randomizer, m);
    if (!w) return std::nullopt;
    ls.counter = w->counter;
    ls.wots_values = std::move(w->values);
    sig.layers.push_back(std::move(ls));
    m = root;
    x = uint32_t(t & 0xff);
    t >>= 8;
  }
  trace_macros::stateless_trace("hypertree complete");
  return sig;
}

bool verify_raw(const Digest& public_seed, const Digest& root, std::span<const uint8_t> message,
                const signature::Signature& sig) {
  if (sig.layers.empty()) return false;
  auto f = fors_c::verify_fors_c_and_return_root(public_seed, root, message, sig.fors);
  if (!f) return false;
  return hypertree::verify_hypertree(public_seed, root, f->public_key, f->tree_index, f->leaf_index, sig.layers);
}

}  // namespace sphincs_plus_c
