// Hybrid verification through the suite ABI, for every suite code and for
// codes that name no suite.
//
// Input: code byte, public-key field, message field, context field,
// signature (the rest).
#include <vector>

#include "fuzz_input.hpp"
#include "valtorimesca_abi/verify.hpp"

using valtorimesca_abi::SuiteCode;

namespace {

bool check(uint8_t code, fuzz::Bytes pk, fuzz::Bytes msg, fuzz::Bytes ctx, fuzz::Bytes sig) {
  return valtorimesca_abi::verify::verify(static_cast<SuiteCode>(code), pk, msg, ctx, sig);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t code = in.byte();
  const auto pk = in.field();
  const auto msg = in.field();
  const auto ctx = in.field();
  const auto sig = in.rest();
  if (!check(code, pk, msg, ctx, sig)) return 0;
  fuzz::note_accepted();
  fuzz::require(code >= 1 && code <= 6, "accepted under a code that names no suite");
  fuzz::require(ctx.size() <= 255, "long context accepted");
  const uint32_t where = fuzz::mix(data, size);
  // The post-quantum half binds the message, the context and every
  // signature byte after the classical R (the ZIP 215 rules let other R
  // encodings of one point verify).
  std::vector<uint8_t> s(sig.begin(), sig.end());
  if (s.size() > 32) {
    const auto tail = fuzz::flip_bit(sig.subspan(32), where);
    std::copy(tail.begin(), tail.end(), s.begin() + 32);
    fuzz::require(!check(code, pk, msg, ctx, s), "mutated signature accepted");
  }
  if (!msg.empty()) fuzz::require(!check(code, pk, fuzz::flip_bit(msg, where), ctx, sig), "mutated message accepted");
  if (!ctx.empty()) fuzz::require(!check(code, pk, msg, fuzz::flip_bit(ctx, where), sig), "mutated context accepted");
  for (uint8_t other = 0; other <= 7; ++other)
    if (other != code) fuzz::require(!check(other, pk, msg, ctx, sig), "accepted under another suite code");
  return 0;
}
