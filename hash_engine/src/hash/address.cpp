#include "hash_engine/hash/address.hpp"

#include "hash_engine/hash/ops.hpp"

namespace hash::address {

void write_address_word32(uint8_t* out, uint32_t layer, uint64_t tree, uint32_t type, uint32_t key_pair, uint32_t chain,
                          uint32_t hash) noexcept {
  put_be32(out, layer);
  put_be32(out + 4, 0);
  put_be64(out + 8, tree);
  put_be32(out + 16, type);
  put_be32(out + 20, key_pair);
  put_be32(out + 24, chain);
  put_be32(out + 28, hash);
}

Word address_word32(uint32_t layer, uint64_t tree, uint32_t type, uint32_t key_pair, uint32_t chain,
                    uint32_t hash) noexcept {
  Word w;
  write_address_word32(w.data(), layer, tree, type, key_pair, chain, hash);
  return w;
}

Word fors_address_word(uint64_t tree, uint32_t key_pair, uint32_t height, uint32_t index) noexcept {
  return address_word32(0, tree, kTypeFors, key_pair, height, index);
}

Word hypertree_address_word(uint32_t layer, uint64_t tree, uint32_t height, uint32_t index) noexcept {
  return address_word32(layer, tree, kTypeHypertreeNode, 0, height, index);
}

}  // namespace hash::address
