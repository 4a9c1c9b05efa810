#include "hash_engine/shrincs/dispatch.hpp"

#include "hash_engine/shrincs/uxmss.hpp"
#include "hash_engine/shrincs/verifier.hpp"
#include "hash_engine/sphincs_plus_c/sphincs.hpp"
#include "subtle/subtle.hpp"

namespace shrincs::dispatch {

using hash::Digest;

namespace {

// A non-zero commitment that the public key's fields hash to,
// and a 68-byte stateful public key.
bool commitment_holds(std::span<const uint8_t> c, const key::PublicKey& pk) {
  if (c.size() != 32 || subtle::ct_is_zero(c.data(), 32).declassify()) return false;
  if (pk.carried_commitment.size() != 32 || !subtle::ct_eq(pk.carried_commitment, c).declassify()) return false;
  const auto recomputed = pk.commitment();
  if (!recomputed) return false;
  if (!subtle::ct_eq(recomputed->data(), pk.carried_commitment.data(), 32).declassify()) return false;
  return pk.stateful_public_key.size() == 68;
}

}  // namespace

bool verify_stateful_unsafe_raw(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                std::span<const uint8_t> message, const signature::Signature& sig) {
  if (!commitment_holds(commitment, pk)) return false;
  const auto spk = uxmss::StructuredPublicKey::from_bytes(pk.stateful_public_key);
  return spk && uxmss::verify_stateful_unsafe_raw(*spk, message, sig);
}

bool verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                     const signature::Signature& sig) {
  if (!action.acceptable() || commitment.size() != 32) return false;
  const Digest m = verifier::action_message_hash(verifier::Path::Stateful,
                                                 std::span<const uint8_t, 32>(commitment.data(), 32), action);
  return verify_stateful_unsafe_raw(commitment, pk, m, sig);
}

bool verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                      const sphincs_plus_c::signature::Signature& sig) {
  if (!action.acceptable()) return false;
  if (!commitment_holds(commitment, pk)) return false;
  const Digest m = verifier::action_message_hash(verifier::Path::Stateless,
                                                 std::span<const uint8_t, 32>(commitment.data(), 32), action);
  hash::Digest seed, root;
  std::copy(pk.stateless_public_seed.begin(), pk.stateless_public_seed.end(), seed.begin());
  std::copy(pk.hypertree_root.begin(), pk.hypertree_root.end(), root.begin());
  return sphincs_plus_c::verify_raw(seed, root, m, sig);
}

}  // namespace shrincs::dispatch
