#include "hash_engine/wots_c.hpp"

namespace wots_c {

Digits digits_of(const Digest& d) {
  Digits out;
  out.reserve(64);
  for (size_t i = 0; i < 64; ++i) out.push_back(hash::ops::base_w16_digit(d, i));
  return out;
}

}  // namespace wots_c
