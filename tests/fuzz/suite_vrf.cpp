// Hybrid VRF verification and output bytes through the suite ABI, for
// every suite code and for codes that name no suite.
//
// Input: code byte, public-key field, input field, context field, proof
// (the rest).
#include "fuzz_input.hpp"
#include "valtorimesca_abi/vrf.hpp"

using valtorimesca_abi::SuiteCode;
namespace abi_vrf = valtorimesca_abi::vrf;

namespace {

bool check(uint8_t code, fuzz::Bytes pk, fuzz::Bytes input, fuzz::Bytes proof) {
  return abi_vrf::vrf_verify(static_cast<SuiteCode>(code), pk, input, proof);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t code = in.byte();
  const auto pk = in.field();
  const auto input = in.field();
  const auto ctx = in.field();
  const auto proof = in.rest();
  const auto suite = static_cast<SuiteCode>(code);

  // Output bytes do not look at the proof's checks: run them on every input
  // of the six suites (the ABI's suite type has no other values; only the
  // verdict is asked of other codes).
  abi_vrf::Output out{}, again{};
  const bool named = code >= 1 && code <= 6;
  const auto st =
      named ? abi_vrf::vrf_make_bytes(suite, pk, input, proof, ctx, out)
            : valtorimesca_abi::AbiStatus(valtorimesca_abi::abi_fail(valtorimesca_abi::AbiError::InvalidSuite));
  if (st) {
    fuzz::require(static_cast<bool>(abi_vrf::vrf_make_bytes(suite, pk, input, proof, ctx, again)) && again == out,
                  "output bytes not reproducible");
  }
  if (!check(code, pk, input, proof)) return 0;
  fuzz::note_accepted();
  fuzz::require(named, "accepted under a code that names no suite");
  fuzz::require(static_cast<bool>(st), "verified proof gives no output bytes");
  const uint32_t where = fuzz::mix(data, size);
  fuzz::require(!check(code, pk, input, fuzz::flip_bit(proof, where)), "mutated proof accepted");
  if (!input.empty()) fuzz::require(!check(code, pk, fuzz::flip_bit(input, where), proof), "mutated input accepted");
  for (uint8_t other = 0; other <= 7; ++other)
    if (other != code) fuzz::require(!check(other, pk, input, proof), "accepted under another suite code");
  return 0;
}
