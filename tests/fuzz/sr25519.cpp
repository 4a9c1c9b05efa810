// sr25519 signature verification.
//
// Input: public-key field, label field, message field, signature (the rest).
#include "valtorimesca/classical/sr25519.hpp"

#include "fuzz_input.hpp"

using valtorimesca::classical::sr25519::Sr25519;

namespace {

bool check(fuzz::Bytes pk, fuzz::Bytes label, fuzz::Bytes msg, fuzz::Bytes sig) {
  return Sr25519::verify(pk, msg, label, sig).declassify();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const auto pk = in.field();
  const auto label = in.field();
  const auto msg = in.field();
  const auto sig = in.rest();
  if (!check(pk, label, msg, sig)) return 0;
  fuzz::note_accepted();
  fuzz::require(pk.size() == Sr25519::kPublicKeyLen && sig.size() == Sr25519::kSignatureLen,
                "accepted with a wrong length");
  const uint32_t where = fuzz::mix(data, size);
  fuzz::require(!check(pk, label, msg, fuzz::flip_bit(sig, where)), "mutated signature accepted");
  fuzz::require(!check(fuzz::flip_bit(pk, where), label, msg, sig), "mutated key accepted");
  if (!msg.empty()) fuzz::require(!check(pk, label, fuzz::flip_bit(msg, where), sig), "mutated message accepted");
  if (!label.empty()) fuzz::require(!check(pk, fuzz::flip_bit(label, where), msg, sig), "mutated label accepted");
  return 0;
}
