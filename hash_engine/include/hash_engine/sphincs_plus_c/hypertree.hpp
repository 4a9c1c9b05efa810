// The 8-layer hypertree of WOTS+C subtrees of height 8 above FORS+C.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/hash/secret.hpp"
#include "hash_engine/wots_c.hpp"

namespace sphincs_plus_c::hypertree {

using hash::Digest;

struct LayerSignature {
  std::vector<Digest> wots_values;  // 64
  Digest randomizer{};
  uint32_t counter = 0;
  std::vector<Digest> auth_path;  // 8
  Digest leaf{};                  // the signing leaf's value
  bool operator==(const LayerSignature&) const = default;
};

std::array<hash::SecretSeed, 8> hypertree_layer_seeds(const hash::SecretSeed& sk_seed);
// Leaves first .. first + count - 1 of one subtree, side by side.
void hypertree_leaves(const Digest& public_seed, const hash::SecretSeed& layer_seed, uint32_t layer, uint64_t tree,
                      uint32_t first, uint32_t count, Digest* out);
// Root and path of leaf x of subtree (layer, tree); `leaf_x` receives its value.
std::pair<Digest, std::vector<Digest>> hypertree_subtree(const Digest& public_seed, const hash::SecretSeed& layer_seed,
                                                         uint32_t layer, uint64_t tree, uint32_t x, Digest& leaf_x);
Digest hypertree_public_root(const hash::SecretSeed& sk_seed, const Digest& public_seed);
// WOTS+C signature of a 32-byte message by leaf x (value `leaf_value`).
std::optional<wots_c::GrindResult> sign_stateless_wots_c(const Digest& public_seed, const hash::SecretSeed& layer_seed,
                                                         uint32_t layer, uint64_t tree, uint32_t x,
                                                         const Digest& leaf_value, const Digest& randomizer,
                                                         const Digest& message);
bool verify_hypertree(const Digest& public_seed, const Digest& root, const Digest& message, uint64_t tree,
                      uint32_t leaf, std::span<const LayerSignature> layers);

}  // namespace sphincs_plus_c::hypertree
