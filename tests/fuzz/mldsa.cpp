// ML-DSA-44 verification, pure and internal.
//
// Input: mode byte, public-key field, context field, message field,
// signature (the rest). Mode bit 0 set verifies the message as M' itself.
#include "mldsa/mldsa.hpp"

#include "fuzz_input.hpp"

namespace {

bool check(uint8_t mode, fuzz::Bytes pk, fuzz::Bytes ctx, fuzz::Bytes msg, fuzz::Bytes sig) {
  if (pk.size() != mldsa::kPublicKeyLen || sig.size() != mldsa::kSignatureLen) return false;
  const mldsa::PublicKey p(pk.data(), pk.size());
  const mldsa::Signature s(sig.data(), sig.size());
  return (mode & 1) ? mldsa::verify_internal(p, msg, s) : mldsa::verify(p, msg, ctx, s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.byte();
  const auto pk = in.field();
  const auto ctx = in.field();
  const auto msg = in.field();
  const auto sig = in.rest();
  if (!check(mode, pk, ctx, msg, sig)) return 0;
  fuzz::note_accepted();
  const uint32_t where = fuzz::mix(data, size);
  if (!(mode & 1)) fuzz::require(ctx.size() <= mldsa::kMaxContextLen, "long context accepted");
  fuzz::require(!check(mode, pk, ctx, msg, fuzz::flip_bit(sig, where)), "mutated signature accepted");
  fuzz::require(!check(mode, fuzz::flip_bit(pk, where), ctx, msg, sig), "mutated key accepted");
  if (!msg.empty()) fuzz::require(!check(mode, pk, ctx, fuzz::flip_bit(msg, where), sig), "mutated message accepted");
  if (!ctx.empty() && !(mode & 1))
    fuzz::require(!check(mode, pk, fuzz::flip_bit(ctx, where), msg, sig), "mutated context accepted");
  return 0;
}
