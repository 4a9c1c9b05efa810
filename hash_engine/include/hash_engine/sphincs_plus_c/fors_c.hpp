// FORS+C: 21 opened trees of height 14 under a ground digest whose 22nd index
// must be zero.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/sphincs_plus_c/key.hpp"

namespace sphincs_plus_c::fors_c {

using hash::Digest;

struct SigningForsDigest {
  uint64_t tree_index = 0;             // 56 bits
  std::array<uint32_t, 21> indices{};  // 14 bits each
  uint32_t leaf_index = 0;             // 8 bits
  bool wins = false;                   // the 22nd index is zero
};

struct Entry {
  Digest secret{};
  std::vector<Digest> auth_path;  // 14 nodes, entry 0 next to the leaf
  bool operator==(const Entry&) const = default;
};

struct Signature {
  std::vector<Entry> entries;  // 21, tree 0 first
  Digest randomizer{};
  uint32_t counter = 0;
  bool operator==(const Signature&) const = default;
};

struct SignedForsC {
  Signature signature;
  Digest public_key{};
  uint64_t tree_index = 0;
  uint32_t leaf_index = 0;
};

struct ForsVerified {
  Digest public_key{};
  uint64_t tree_index = 0;
  uint32_t leaf_index = 0;
};

// Reads the indices, tree index and leaf index from a 64-byte digest.
SigningForsDigest read_fors_digest(std::span<const uint8_t, 64> d);
SigningForsDigest signer_fors_digest(const Digest& public_seed, const Digest& root, std::span<const uint8_t> message,
                                     const Digest& randomizer, uint32_t counter);
// Lowest counter below 2^24 whose digest wins (with the trace hooks).
std::optional<std::pair<uint32_t, SigningForsDigest>> winning_fors_counter_and_digest(const key::Key& key,
                                                                                      std::span<const uint8_t> message,
                                                                                      const Digest& randomizer);
// The same search below another limit (same trace lines, with that limit).
std::optional<std::pair<uint32_t, SigningForsDigest>> winning_fors_counter_and_digest_below(
    uint32_t limit, const key::Key& key, std::span<const uint8_t> message, const Digest& randomizer);
// Root of tree t and the path of leaf x, from all its leaves; `revealed`
// receives the secret of leaf x.
std::pair<Digest, std::vector<Digest>> fors_tree_root_and_auth_path(const key::Key& key, uint64_t tree, uint32_t leaf,
                                                                    uint32_t t, uint32_t x, Digest& revealed);
std::optional<SignedForsC> sign_fors_c(const key::Key& key, std::span<const uint8_t> message);
std::optional<ForsVerified> verify_fors_c_and_return_root(const Digest& public_seed, const Digest& root,
                                                          std::span<const uint8_t> message, const Signature& sig);

}  // namespace sphincs_plus_c::fors_c
