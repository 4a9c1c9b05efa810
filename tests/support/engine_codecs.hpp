// The engine's two signature forms as fresh byte vectors, for tests that
// compare, mutate or store whole encodings. The library writes into the
// caller's buffer (write_stateful, write_flat) and never needs these.
#pragma once

#include <cstdint>
#include <vector>

#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace vt_test {

inline std::vector<uint8_t> encode_stateful(const shrincs::signature::Signature& sig) {
  std::vector<uint8_t> out(shrincs::signature::stateful_len(sig));
  (void)shrincs::signature::write_stateful(sig, out);
  return out;
}

inline std::vector<uint8_t> encode_flat(const sphincs_plus_c::signature::Signature& sig) {
  std::vector<uint8_t> out(sphincs_plus_c::signature::flat_len(sig));
  (void)sphincs_plus_c::signature::write_flat(sig, out);
  return out;
}

}  // namespace vt_test
