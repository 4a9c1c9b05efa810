#include "hash_engine/sphincs_plus_c/hypertree.hpp"

#include <algorithm>
#include <cstring>

#include "hash/lanes.hpp"
#include "hash_engine/hash/address.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/treehash.hpp"

namespace sphincs_plus_c::hypertree {

using hash::Part;
using P = profiles::p256s::Profile256s;

namespace {

constexpr uint32_t kH = P::SUBTREE_HEIGHT;
constexpr size_t kLayerSeedInput = P::HT_LAYER_SEED.size() + 32 + 1;
constexpr size_t kLeafSeedInput = P::HT_LEAF_SEED.size() + 32 + 8 + 4;
constexpr size_t kSkSeedInput = P::HT_WOTS_SK_SEED.size() + 32;
constexpr size_t kSecretInput = P::WOTS_C_SECRET.size() + 32 + 4;
constexpr size_t kPkPrefix = P::WOTS_C_PK.size() + 32;
constexpr size_t kPkInput = kPkPrefix + 64 * 32;
constexpr size_t kNodeInput = P::HT_NODE.size() + 32 + 32 + 64;
constexpr size_t kMsgInput = P::WOTS_C_MSG.size() + 32 + 32 + 32 + 4 + 32;

// label ‖ public seed ‖ address(layer, tree, height, index) ‖ left ‖ right
void fill_node(uint8_t* dst, const Digest& pk, uint32_t layer, uint64_t tree, uint32_t height, uint32_t index,
               const Digest& left, const Digest& right) {
  std::memcpy(dst, P::HT_NODE.data(), P::HT_NODE.size());
  dst += P::HT_NODE.size();
  std::memcpy(dst, pk.data(), 32);
  hash::address::write_address_word32(dst + 32, layer, tree, hash::address::kTypeHypertreeNode, 0, height, index);
  std::memcpy(dst + 64, left.data(), 32);
  std::memcpy(dst + 96, right.data(), 32);
}

// label ‖ public seed ‖ leaf value ‖ randomizer ‖ BE32 counter ‖ message
void fill_message(uint8_t* dst, const Digest& pk, const Digest& leaf_value, const Digest& r, uint32_t counter,
                  const Digest& message) {
  std::memcpy(dst, P::WOTS_C_MSG.data(), P::WOTS_C_MSG.size());
  dst += P::WOTS_C_MSG.size();
  std::memcpy(dst, pk.data(), 32);
  std::memcpy(dst + 32, leaf_value.data(), 32);
  std::memcpy(dst + 64, r.data(), 32);
  hash::put_be32(dst + 96, counter);
  std::memcpy(dst + 100, message.data(), 32);
}

// label ‖ public seed, the kPkPrefix bytes before the 64 chain ends of a leaf.
void fill_pk_prefix(uint8_t* dst, const Digest& pk) {
  std::memcpy(dst, P::WOTS_C_PK.data(), P::WOTS_C_PK.size());
  std::memcpy(dst + P::WOTS_C_PK.size(), pk.data(), 32);
}

// Leaf secret seeds of leaves first .. first + count - 1 (count <= 8).
void leaf_secret_seeds(const hash::SecretSeed& layer_seed, uint64_t tree, uint32_t first, size_t count,
                       hash::SecretSeed* out) {
  hash::SecretSeed leaf_seed[8];
  hash::lanes::hash_many(
      count, kLeafSeedInput,
      [&](size_t j, uint8_t* dst) {
        std::memcpy(dst, P::HT_LEAF_SEED.data(), P::HT_LEAF_SEED.size());
        dst += P::HT_LEAF_SEED.size();
        std::memcpy(dst, layer_seed.data(), 32);
        hash::put_be64(dst + 32, tree);
        hash::put_be32(dst + 40, first + uint32_t(j));
      },
      [&](size_t j, const uint8_t* d) { std::memcpy(leaf_seed[j].data(), d, 32); });
  hash::lanes::hash_many(
      count, kSkSeedInput,
      [&](size_t j, uint8_t* dst) {
        std::memcpy(dst, P::HT_WOTS_SK_SEED.data(), P::HT_WOTS_SK_SEED.size());
        std::memcpy(dst + P::HT_WOTS_SK_SEED.size(), leaf_seed[j].data(), 32);
      },
      [&](size_t j, const uint8_t* d) { std::memcpy(out[j].data(), d, 32); });
}

void fill_secret(uint8_t* dst, const hash::SecretSeed& lss, uint32_t i) {
  std::memcpy(dst, P::WOTS_C_SECRET.data(), P::WOTS_C_SECRET.size());
  std::memcpy(dst + P::WOTS_C_SECRET.size(), lss.data(), 32);
  hash::put_be32(dst + P::WOTS_C_SECRET.size() + 32, i);
}

// Chain ends of leaves first .. first + count - 1 (count <= 8), written into
// bufs[k] + kPkPrefix, each buffer prefixed for the leaf compression.
void chain_ends(const Digest& pk, const hash::SecretSeed& layer_seed, uint32_t layer, uint64_t tree, uint32_t first,
                size_t count, uint8_t* const* bufs) {
  hash::SecretSeed lss[8];
  leaf_secret_seeds(layer_seed, tree, first, count, lss);
  for (size_t k = 0; k < count; ++k) fill_pk_prefix(bufs[k], pk);
  hash::lanes::hash_many(
      count * 64, kSecretInput, [&](size_t idx, uint8_t* dst) { fill_secret(dst, lss[idx / 64], uint32_t(idx % 64)); },
      [&](size_t idx, const uint8_t* d) { std::memcpy(bufs[idx / 64] + kPkPrefix + (idx % 64) * 32, d, 32); });
  const auto layout = hash::lanes::chain_layout(P::WOTS_C_CHAIN, pk.data(), layer, tree);
  hash::lanes::ChainJob jobs[8 * 64];
  for (size_t k = 0; k < count; ++k)
    for (uint32_t i = 0; i < 64; ++i) jobs[k * 64 + i] = {bufs[k] + kPkPrefix + i * 32, first + uint32_t(k), i, 0, 15};
  hash::lanes::walk_chains(layout, std::span(jobs, count * 64));
}

}  // namespace

std::array<hash::SecretSeed, 8> hypertree_layer_seeds(const hash::SecretSeed& sk_seed) {
  std::array<hash::SecretSeed, 8> out;
  hash::lanes::hash_many(
      out.size(), kLayerSeedInput,
      [&](size_t l, uint8_t* dst) {
        std::memcpy(dst, P::HT_LAYER_SEED.data(), P::HT_LAYER_SEED.size());
        std::memcpy(dst + P::HT_LAYER_SEED.size(), sk_seed.data(), 32);
        dst[P::HT_LAYER_SEED.size() + 32] = uint8_t(l);
      },
      [&](size_t l, const uint8_t* d) { std::memcpy(out[l].data(), d, 32); });
  return out;
}

void hypertree_leaves(const Digest& pk, const hash::SecretSeed& layer_seed, uint32_t layer, uint64_t tree,
                      uint32_t first, uint32_t count, Digest* out) {
  std::vector<uint8_t> buf(8 * kPkInput);
  uint8_t* bufs[8];
  const uint8_t* cbufs[8];
  for (size_t k = 0; k < 8; ++k) cbufs[k] = bufs[k] = buf.data() + k * kPkInput;
  for (uint32_t base = 0; base < count; base += 8) {
    const uint32_t g = std::min<uint32_t>(8, count - base);
    chain_ends(pk, layer_seed, layer, tree, first + base, g, bufs);
    hash::lanes::hash_ptrs(g, kPkInput, cbufs, out + base);
  }
  zeroize::wipe(buf.data(), buf.size());
}

std::pair<Digest, std::vector<Digest>> hypertree_subtree(const Digest& pk, const hash::SecretSeed& layer_seed,
                                                         uint32_t layer, uint64_t tree, uint32_t x, Digest& leaf_x) {
  std::vector<Digest> leaves(size_t(1) << kH);
  hypertree_leaves(pk, layer_seed, layer, tree, 0, uint32_t(leaves.size()), leaves.data());
  leaf_x = leaves[x & 0xff];
  return treehash::root_and_auth_path_by_levels(
      kH, x, std::move(leaves), [&](uint32_t k, size_t count, const Digest* children, Digest* out) {
        hash::lanes::hash_many(
            count, kNodeInput,
            [&](size_t j, uint8_t* dst) {
              fill_node(dst, pk, layer, tree, k, uint32_t(j), children[2 * j], children[2 * j + 1]);
            },
            [&](size_t j, const uint8_t* d) { std::memcpy(out[j].data(), d, 32); });
      });
}

Digest hypertree_public_root(const hash::SecretSeed& sk_seed, const Digest& pk) {
  const auto seeds = hypertree_layer_seeds(sk_seed);
  Digest leaf0;
  return hypertree_subtree(pk, seeds[7], 7, 0, 0, leaf0).first;
}

std::optional<wots_c::GrindResult> sign_stateless_wots_c(const Digest& pk, const hash::SecretSeed& layer_seed,
                                                         uint32_t layer, uint64_t tree, uint32_t x,
                                                         const Digest& leaf_value, const Digest& r,
                                                         const Digest& message) {
  auto digests = [&](uint32_t base, size_t k, Digest* out) {
    hash::lanes::hash_many(
        k, kMsgInput,
        [&](size_t j, uint8_t* dst) { fill_message(dst, pk, leaf_value, r, base + uint32_t(j), message); },
        [&](size_t j, const uint8_t* d) { std::memcpy(out[j].data(), d, 32); });
  };
  hash::SecretSeed lss;
  auto values = [&](const wots_c::Digits& digits) {
    leaf_secret_seeds(layer_seed, tree, x, 1, &lss);
    wots_c::Values v(64);
    const auto layout = hash::lanes::chain_layout(P::WOTS_C_CHAIN, pk.data(), layer, tree);
    hash::lanes::wots_chains(
        kSecretInput, [&](size_t i, uint8_t* dst) { fill_secret(dst, lss, uint32_t(i)); }, layout, x, digits.data(),
        v.data());
    return v;
  };
  return wots_c::grind_digit_sum_batched(P::WOTS_COUNTER_BOUND, P::DIGIT_SUM_TARGET, digests, values);
}

// The layers are checked side by side rather than one after another. Each
// layer's climb starts from the leaf value its signature carries, so all
// eight climbs are independent, and so are the eight digests once the climbs
// give every layer its message (the FORS public key for layer 0, the root
// climbed in layer l - 1 above it). The rebuilt leaves are then required to
// equal the carried ones: when they all do, every climb and digest equals the
// one a layer-by-layer check would compute, and when one does not, both
// answer false. So the answer is the same for every signature.
bool verify_hypertree(const Digest& pk, const Digest& root, const Digest& message, uint64_t tree, uint32_t leaf,
                      std::span<const LayerSignature> layers) {
  constexpr uint32_t kLayers = P::HT_LAYERS;
  if (layers.size() != kLayers) return false;
  for (const LayerSignature& s : layers)
    if (s.auth_path.size() != kH || s.wots_values.size() != 64) return false;
  uint64_t trees[kLayers];
  uint32_t leaves[kLayers];
  trees[0] = tree;
  leaves[0] = leaf;
  for (uint32_t l = 1; l < kLayers; ++l) {
    leaves[l] = uint32_t(trees[l - 1] & 0xff);
    trees[l] = trees[l - 1] >> 8;
  }

  // Every layer's subtree, one height at a time.
  Digest node[kLayers];
  for (uint32_t l = 0; l < kLayers; ++l) node[l] = layers[l].leaf;
  for (uint32_t k = 1; k <= kH; ++k) {
    hash::lanes::hash_many(
        kLayers, kNodeInput,
        [&](size_t l, uint8_t* dst) {
          const bool right = (leaves[l] >> (k - 1)) & 1;
          const Digest& sibling = layers[l].auth_path[k - 1];
          fill_node(dst, pk, uint32_t(l), trees[l], k, leaves[l] >> k, right ? sibling : node[l],
                    right ? node[l] : sibling);
        },
        [&](size_t l, const uint8_t* d) { std::memcpy(node[l].data(), d, 32); });
  }

  // Every layer's message digest, and its digits.
  Digest digest[kLayers];
  hash::lanes::hash_many(
      kLayers, kMsgInput,
      [&](size_t l, uint8_t* dst) {
        const LayerSignature& s = layers[l];
        fill_message(dst, pk, s.leaf, s.randomizer, s.counter, l == 0 ? message : node[l - 1]);
      },
      [&](size_t l, const uint8_t* d) { std::memcpy(digest[l].data(), d, 32); });
  for (uint32_t l = 0; l < kLayers; ++l)
    if (hash::ops::digit_sum(digest[l]) != P::DIGIT_SUM_TARGET) return false;

  // The 8 x 64 chains walked on to their ends, then every leaf compressed.
  std::vector<uint8_t> pk_in(kLayers * kPkInput);
  const uint8_t* ptrs[kLayers];
  hash::lanes::ChainLayout layouts[kLayers];
  std::vector<hash::lanes::ChainJob> jobs(kLayers * 64);
  for (uint32_t l = 0; l < kLayers; ++l) {
    uint8_t* b = pk_in.data() + l * kPkInput;
    ptrs[l] = b;
    fill_pk_prefix(b, pk);
    std::memcpy(b + kPkPrefix, layers[l].wots_values.data(), 64 * 32);
    layouts[l] = hash::lanes::chain_layout(P::WOTS_C_CHAIN, pk.data(), l, trees[l]);
    for (uint32_t i = 0; i < 64; ++i)
      jobs[l * 64 + i] = {
          b + kPkPrefix + i * 32, leaves[l], i, hash::ops::base_w16_digit(digest[l], i), 15, &layouts[l]};
  }
  hash::lanes::walk_chains(layouts[0], jobs);
  Digest rebuilt[kLayers];
  hash::lanes::hash_ptrs(kLayers, kPkInput, ptrs, rebuilt);
  for (uint32_t l = 0; l < kLayers; ++l)
    if (rebuilt[l] != layers[l].leaf) return false;
  return node[kLayers - 1] == root;
}

}  // namespace sphincs_plus_c::hypertree
