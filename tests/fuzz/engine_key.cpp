// The hash engine's 264-byte key import (the validating one: ranges of the
// counters, and both roots recomputed).
//
// Input: the key bytes.
#include <algorithm>

#include "fuzz_input.hpp"
#include "hash_engine/shrincs/key.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Bytes bytes(data, size);
  auto keys = shrincs::key::Keys::import(bytes);
  if (!keys) return 0;
  fuzz::note_accepted();
  fuzz::require(size == shrincs::key::Keys::kEncodedLen, "imported a key of the wrong length");
  const auto again = keys->to_bytes();
  fuzz::require(std::equal(again.data(), again.data() + again.size(), data), "import does not round-trip");
  const auto c = keys->public_key().commitment();
  fuzz::require(c && *c == keys->commitment, "commitment differs from the public key's");
  fuzz::require(keys->stateful.capacity() >= 1 && keys->stateful.next() >= 1 &&
                    keys->stateful.next() <= keys->stateful.capacity() + 1,
                "counters out of range");
  keys->zeroize();
  return 0;
}
