#include "hash_engine/shrincs/verifier.hpp"

#include "hash_engine/shrincs/dispatch.hpp"

namespace shrincs::verifier {

bool ShrincsVerifier::verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                      const ShrincsAction& action, const signature::Signature& sig) {
  return dispatch::verify_stateful(commitment, pk, action, sig);
}

bool ShrincsVerifier::verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                       const ShrincsAction& action, const sphincs_plus_c::signature::Signature& sig) {
  return dispatch::verify_stateless(commitment, pk, action, sig);
}

}  // namespace shrincs::verifier
