#include "hash_engine/shrincs/signer.hpp"

#include <string>

#include "hash_engine/trace_macros.hpp"

namespace shrincs::signer {

std::optional<sphincs_plus_c::signature::Signature> ShrincsSigner::sign_stateless_raw(
    const sphincs_plus_c::key::Key& key, std::span<const uint8_t> message) {
  trace_macros::stateless_trace_with([&] { return "signer start message_len=" + std::to_string(message.size()); });
  auto sig = sphincs_plus_c::sign(key, message);
  if (sig) trace_macros::stateless_trace("signer done");
  return sig;
}

}  // namespace shrincs::signer
