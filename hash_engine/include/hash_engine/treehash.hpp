// Complete binary trees: root and authentication path of one leaf, level by
// level, so that the node hashes of a level can be computed side by side.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "hash_engine/hash/ops.hpp"

namespace treehash {

using hash::Digest;

// Root and authentication path of leaf x from all 2^h leaves (consumed).
// nodes(k, count, children, out) makes the `count` nodes of height k from
// their 2·count children in order: out[j] from children[2j] and
// children[2j + 1].
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
