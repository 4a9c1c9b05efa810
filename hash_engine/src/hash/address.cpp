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

}  // namespace hash::address
