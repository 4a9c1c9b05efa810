// The wire form of an ED_SH / SR_SH signature:
//
//   classical signature 64 | selector 1 | stateful:  BE32 leaf count q |
//                                                     2084 + 32 q bytes
//                                        | stateless: 29092 bytes
//
// Selector 1 names the stateful path, 2 the stateless path. The leaf count
// fixes the length; nothing may follow the declared end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "valtorimesca/error.hpp"

namespace valtorimesca::encoding_path {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;

enum class PathSelector : uint8_t { Stateful = 1, Stateless = 2 };

inline constexpr size_t kClassicalLen = 64;
inline constexpr size_t kStatelessHeaderLen = kClassicalLen + 1;
inline constexpr size_t kStatefulHeaderLen = kClassicalLen + 1 + 4;

// The post-quantum half of a signature: its path, its declared leaf count
// (stateful path only) and a view of its bytes.
struct PathSelectedSignature {
  PathSelector path = PathSelector::Stateless;
  uint32_t leaf_count = 0;
  Bytes pq;

  static PathSelectedSignature stateful(uint32_t q, Bytes pq) { return {PathSelector::Stateful, q, pq}; }
  static PathSelectedSignature stateless(Bytes pq) { return {PathSelector::Stateless, 0, pq}; }
};

// The fixed part of a stateful post-quantum signature (its full length is
// fixed + 32 q) and the length of a stateless one.
struct PqSizes {
  size_t stateful_fixed;
  size_t stateless;
};

struct Decoded {
  Bytes classical;  // the first 64 bytes of the input
  PathSelectedSignature sig;
};

CoreResult<size_t> write_path_selected(MutBytes out, Bytes classical, const PathSelectedSignature& sig, PqSizes sizes);
CoreResult<std::vector<uint8_t>> encode_path_selected(Bytes classical, const PathSelectedSignature& sig, PqSizes sizes);
// The encoding of `sig` when its post-quantum bytes already lie in `buf` at
// their place (offset 69, or 65 on the stateless path): the same tests as
// the encoders, then the header is written in front of them. Lets a signer
// build the signature in its final buffer without another large copy.
CoreResult<size_t> frame_in_place(MutBytes buf, Bytes classical, const PathSelectedSignature& sig, PqSizes sizes);
// Offset of the post-quantum bytes on a path.
constexpr size_t pq_offset(PathSelector path) noexcept {
  return path == PathSelector::Stateful ? kStatefulHeaderLen : kStatelessHeaderLen;
}
// `max` is the key's leaf capacity. The result views the input.
CoreResult<Decoded> decode_path_selected(Bytes sig, uint32_t max, PqSizes sizes);

}  // namespace valtorimesca::encoding_path
