#include "hash_engine/shrincs/verifier.hpp"

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/shrincs/dispatch.hpp"

namespace shrincs::verifier {

using hash::Part;
using P = profiles::p256s::Profile256s;

Digest action_message_hash(Path path, std::span<const uint8_t, 32> commitment, const ShrincsAction& action) noexcept {
  // The two label digests are constants, hashed once.
  static const Digest kStateful = hash::ops::keccak_packed({Part(P::VERIFY_STATEFUL)});
  static const Digest kStateless = hash::ops::keccak_packed({Part(P::VERIFY_STATELESS)});
  const Digest& label = path == Path::Stateful ? kStateful : kStateless;
  const auto one = hash::be32(1);
  const auto& w = action.words;
  return hash::ops::keccak_packed(
      {Part(label), Part(one), Part(commitment), Part(w[0]), Part(w[1]), Part(w[2]), Part(w[3]), Part(w[4])});
}

bool ShrincsVerifier::verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                      const ShrincsAction& action, const signature::Signature& sig) {
  return dispatch::verify_stateful(commitment, pk, action, sig);
}

bool ShrincsVerifier::verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                       const ShrincsAction& action, const sphincs_plus_c::signature::Signature& sig) {
  return dispatch::verify_stateless(commitment, pk, action, sig);
}

}  // namespace shrincs::verifier
