// Complete binary trees: root and authentication path of one leaf in a
// single left-to-right pass, climbing from a leaf along a path, and a
// level-by-level variant whose node hashes can be computed side by side.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "hash_engine/hash/ops.hpp"

namespace treehash {

using hash::Digest;

// leaf(i) -> Digest; node(k, j, left, right) -> Digest (k >= 1 is the height
// of the new node, j its index at that height).
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

// Nothing when the path holds fewer than h nodes; extra nodes are not read.
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

// The same root and path from all 2^h leaves at once (consumed). nodes(k,
// count, children, out) makes the `count` nodes of height k from their
// 2·count children in order: out[j] from children[2j] and children[2j + 1].
template <class NodesFn>
std::pair<Digest, std::vector<Digest>> root_and_auth_path_by_levels(uint32_t h, uint32_t x, std::vector<Digest> level,
                                                                    NodesFn&& nodes) {
  std::vector<Digest> path(h, Digest{});
  std::vector<Digest> next(level.size() / 2 + 1);
  for (uint32_t k = 1; k <= h; ++k) {
    const size_t idx = size_t(x >> (k - 1)) ^ 1;
    if (idx < level.size()) path[k - 1] = level[idx];
    const size_t count = level.size() / 2;
    next.resize(count);
    nodes(k, count, level.data(), next.data());
    level.swap(next);
  }
  return {level[0], std::move(path)};
}

}  // namespace treehash
