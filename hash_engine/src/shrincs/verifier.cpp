#include "hash_engine/shrincs/verifier.hpp"

#include <algorithm>

#include "hash_engine/shrincs/uxmss.hpp"
#include "hash_engine/sphincs_plus_c/sphincs.hpp"

namespace shrincs::verifier {

using dispatch::action_message_hash;
using dispatch::Path;

bool ShrincsVerifier::verify_stateful(const dispatch::CheckedKey& key, const ShrincsAction& action,
                                      const signature::Signature& sig) {
  if (!action.acceptable()) return false;
  const hash::Digest m = action_message_hash(Path::Stateful, key.commitment(), action);
  const auto spk = uxmss::StructuredPublicKey::from_bytes(key.key().stateful_public_key);
  return spk && uxmss::verify_stateful_unsafe_raw(*spk, m, sig);
}

bool ShrincsVerifier::verify_stateless(const dispatch::CheckedKey& key, const ShrincsAction& action,
                                       const sphincs_plus_c::signature::Signature& sig) {
  if (!action.acceptable()) return false;
  const hash::Digest m = action_message_hash(Path::Stateless, key.commitment(), action);
  hash::Digest seed, root;
  const key::PublicKey& pk = key.key();
  std::copy(pk.stateless_public_seed.begin(), pk.stateless_public_seed.end(), seed.begin());
  std::copy(pk.hypertree_root.begin(), pk.hypertree_root.end(), root.begin());
  return sphincs_plus_c::verify_raw(seed, root, m, sig);
}

}  // namespace shrincs::verifier
