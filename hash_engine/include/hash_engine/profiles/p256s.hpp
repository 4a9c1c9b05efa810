// The engine's one parameter profile: 256-bit security, Keccak-256 hashing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace profiles::p256s {

struct Profile256s {
  static constexpr size_t N = 32;              // bytes of every seed, node and digest
  static constexpr uint32_t W = 16;            // Winternitz base
  static constexpr uint32_t WOTS_CHAINS = 64;  // one per nibble, no checksum chains
  static constexpr uint32_t CHAIN_LEN = 15;    // steps from secret (0) to public end (15)
  static constexpr uint32_t DIGIT_SUM_TARGET = 480;
  static constexpr uint32_t WOTS_COUNTER_BOUND = 1u << 24;
  static constexpr uint32_t FORS_HEIGHT = 14;
  static constexpr uint32_t FORS_INDICES = 22;
  static constexpr uint32_t FORS_TREES = 21;
  static constexpr uint32_t FORS_COUNTER_BOUND = 1u << 24;
  static constexpr uint32_t HT_LAYERS = 8;
  static constexpr uint32_t SUBTREE_HEIGHT = 8;
  static constexpr uint32_t TREE_INDEX_BITS = 56;
  static constexpr uint32_t LEAF_INDEX_BITS = 8;
  static constexpr uint32_t MAX_LEAF_CAPACITY = 4096;
  static constexpr size_t MESSAGE_LEN = 32;
  static constexpr std::string_view PROFILE_LABEL = "shrincs-256s-keccak";

  // Hash labels (ASCII, no terminating zero byte).
  static constexpr std::string_view UXMSS_CHAIN_SECRET = "uxmss-wots-chain-secret";
  static constexpr std::string_view UXMSS_CHAIN = "uxmss-wots-chain";
  static constexpr std::string_view UXMSS_DIGITS = "uxmss-wots-digits";
  static constexpr std::string_view UXMSS_PK = "uxmss-wots-pk";
  static constexpr std::string_view UXMSS_RANDOMIZER = "uxmss-wots-randomizer";
  static constexpr std::string_view UXMSS_NODE = "uxmss-node";
  static constexpr std::string_view UXMSS_EMPTY_TAIL = "uxmss-empty-tail";
  static constexpr std::string_view WOTS_C_SECRET = "wots-c-secret";
  static constexpr std::string_view WOTS_C_CHAIN = "wots-c-chain";
  static constexpr std::string_view WOTS_C_MSG = "wots-c-msg";
  static constexpr std::string_view WOTS_C_PK = "wots-c-pk";
  static constexpr std::string_view WOTS_C_RANDOMIZER = "wots-c-randomizer";
  static constexpr std::string_view HT_LAYER_SEED = "hypertree-layer-seed";
  static constexpr std::string_view HT_LEAF_SEED = "hypertree-leaf-seed";
  static constexpr std::string_view HT_WOTS_SK_SEED = "hypertree-wots-sk-seed";
  static constexpr std::string_view HT_NODE = "hypertree-node";
  static constexpr std::string_view FORS_RANDOMIZER = "fors-randomizer";
  static constexpr std::string_view FORS_DIGEST = "fors-digest";
  static constexpr std::string_view FORS_SK = "fors-sk";
  static constexpr std::string_view FORS_LEAF = "fors-leaf";
  static constexpr std::string_view FORS_NODE = "fors-node";
  static constexpr std::string_view FORS_PK = "fors-pk";
  static constexpr std::string_view PUBLIC_KEY_LABEL = "shrincs-public-key/";
  static constexpr std::string_view VERIFY_STATEFUL = "shrincs-verify-stateful";
  static constexpr std::string_view VERIFY_STATELESS = "shrincs-verify-stateless";

  // Public constant hashed right after "fors-digest".
  static constexpr std::array<uint8_t, 32> FORS_DIGEST_CONST = {
      0x32, 0xf5, 0x73, 0xb4, 0x53, 0xff, 0xc4, 0xb3, 0xed, 0xb5, 0xdb, 0x5c, 0x8c, 0x6f, 0x10, 0xd9,
      0x2a, 0xae, 0x60, 0xd6, 0xb7, 0x74, 0x91, 0x16, 0xa8, 0x66, 0x51, 0xf5, 0x6e, 0x2a, 0x48, 0x78};
};

inline constexpr uint32_t MAX_LEAF_CAPACITY = Profile256s::MAX_LEAF_CAPACITY;

}  // namespace profiles::p256s
