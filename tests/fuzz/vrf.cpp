// The classical VRF halves: ECVRF-EDWARDS25519-SHA512-TAI and the sr25519
// VRF, verification and output bytes.
//
// Input: mode byte (bit 0: sr25519), public-key field, label field, input
// field, pre-output field, context field, proof (the rest).
#include "fuzz_input.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/sr25519.hpp"

using valtorimesca::classical::ed25519::Ed25519;
using valtorimesca::classical::sr25519::Sr25519;

namespace {

template <class C>
void run(const uint8_t* data, size_t size, fuzz::Bytes pk, fuzz::Bytes label, fuzz::Bytes input, fuzz::Bytes pre,
         fuzz::Bytes ctx, fuzz::Bytes proof) {
  const auto check = [&](fuzz::Bytes k, fuzz::Bytes l, fuzz::Bytes i, fuzz::Bytes g, fuzz::Bytes p) {
    return C::vrf_verify(k, l, i, g, p).declassify();
  };
  // Output bytes never look at the proof: run them on every input.
  const auto out = C::vrf_make_bytes(pk, label, input, pre, ctx);
  if (out) {
    const auto again = C::vrf_make_bytes(pk, label, input, pre, ctx);
    fuzz::require(again && *again == *out, "output bytes not reproducible");
  }
  if (!check(pk, label, input, pre, proof)) return;
  fuzz::note_accepted();
  fuzz::require(pk.size() == C::kPublicKeyLen && pre.size() == C::kVrfPreOutputLen && proof.size() == C::kVrfProofLen,
                "accepted with a wrong length");
  fuzz::require(static_cast<bool>(out), "verified proof gives no output bytes");
  const uint32_t where = fuzz::mix(data, size);
  fuzz::require(!check(pk, label, input, pre, fuzz::flip_bit(proof, where)), "mutated proof accepted");
  fuzz::require(!check(pk, label, input, fuzz::flip_bit(pre, where), proof), "mutated pre-output accepted");
  fuzz::require(!check(fuzz::flip_bit(pk, where), label, input, pre, proof), "mutated key accepted");
  if (!input.empty())
    fuzz::require(!check(pk, label, fuzz::flip_bit(input, where), pre, proof), "mutated input accepted");
  if (!label.empty())
    fuzz::require(!check(pk, fuzz::flip_bit(label, where), input, pre, proof), "mutated label accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.byte();
  const auto pk = in.field();
  const auto label = in.field();
  const auto input = in.field();
  const auto pre = in.field();
  const auto ctx = in.field();
  const auto proof = in.rest();
  if (mode & 1) {
    run<Sr25519>(data, size, pk, label, input, pre, ctx, proof);
    // Any output length works and 32 bytes match the fixed-size form.
    const size_t n = (mode >> 1) * 4u;
    std::vector<uint8_t> buf(n);
    const auto st = Sr25519::vrf_make_bytes_into(pk, label, input, pre, ctx, buf);
    const auto fixed = Sr25519::vrf_make_bytes(pk, label, input, pre, ctx);
    fuzz::require(static_cast<bool>(st) == static_cast<bool>(fixed), "output forms disagree on failure");
    if (st && n == 32) fuzz::require(std::equal(buf.begin(), buf.end(), fixed->begin()), "output forms differ");
  } else {
    run<Ed25519>(data, size, pk, label, input, pre, ctx, proof);
  }
  return 0;
}
