// The stateful suites (ED_SH, SR_SH) through the suite ABI: the validating
// import of 496-byte export blobs, and verification on both paths against a
// whole public key and against a stored one.
//
// Input: code byte, operation byte, then
//   operation 0: the blob (the rest);
//   operation 1: public-key field, message field, context field, signature;
//   other:       stored-key field, bundle field, message field, context
//                field, signature.
#include "valtorimesca_abi/stateful_suites.hpp"

#include <array>
#include <vector>

#include "fuzz_input.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/verify.hpp"

using valtorimesca_abi::SuiteCode;
namespace ss = valtorimesca_abi::stateful_suites;
namespace handle = valtorimesca_abi::handle;

namespace {

bool stateful_code(uint8_t code) { return code == 5 || code == 6; }

void import_blob(uint8_t code, fuzz::Bytes blob) {
  const auto suite = static_cast<SuiteCode>(code);
  auto h = handle::open(suite, blob);
  const auto id = ss::key_identity_from_secret_key(suite, blob);
  fuzz::require(h.ok() == id.ok(), "open and key identity disagree on a blob");
  if (!h) return;
  fuzz::note_accepted();
  fuzz::require(stateful_code(code) && blob.size() == 496, "opened a blob it should refuse");
  fuzz::require(handle::key_identity(*h) == *id, "identity of the handle differs");
  std::array<uint8_t, 496> out{}, out2{};
  fuzz::require(handle::export_blob(*h, out).ok(), "export of an opened key failed");
  auto h2 = handle::open(suite, out);
  fuzz::require(h2.ok(), "exported blob does not open");
  fuzz::require(handle::export_blob(*h2, out2).ok() && out == out2, "export does not round-trip");
  fuzz::require(handle::key_identity(*h2) == *id, "identity changed through export");
}

// The verdicts of both paths; accepted ones are checked against the
// dispatcher, the stored-key form and mutations.
void verify_whole(const uint8_t* data, size_t size, uint8_t code, fuzz::Bytes pk, fuzz::Bytes msg, fuzz::Bytes ctx,
                  fuzz::Bytes sig) {
  const auto suite = static_cast<SuiteCode>(code);
  const auto a = ss::verify_stateful(suite, pk, msg, ctx, sig);
  const auto b = ss::verify_stateless(suite, pk, msg, ctx, sig);
  fuzz::require(a.ok() == stateful_code(code) && b.ok() == stateful_code(code), "entry point refusal");
  if (!a) return;
  const bool on_stateful = *a, on_stateless = *b;
  fuzz::require(!(on_stateful && on_stateless), "one signature verifies on both paths");
  fuzz::require(valtorimesca_abi::verify::verify(suite, pk, msg, ctx, sig) == on_stateful,
                "dispatcher and stateful path disagree");
  std::array<uint8_t, 64> stored{};
  const auto n = ss::stored_public_key(suite, pk, stored);
  if (n) {
    const auto bundle = pk.subspan(32);
    const auto sa = ss::verify_with_stored_public_key_stateful(suite, stored, bundle, msg, ctx, sig);
    const auto sb = ss::verify_with_stored_public_key_stateless(suite, stored, bundle, msg, ctx, sig);
    fuzz::require(sa.ok() && *sa == on_stateful && sb.ok() && *sb == on_stateless,
                  "stored-key and whole-key verdicts differ");
  }
  if (!on_stateful && !on_stateless) return;
  fuzz::note_accepted();
  const auto check = [&](fuzz::Bytes m, fuzz::Bytes c, fuzz::Bytes s) {
    return *ss::verify_stateful(suite, pk, m, c, s) || *ss::verify_stateless(suite, pk, m, c, s);
  };
  const uint32_t where = fuzz::mix(data, size);
  // Every byte after the classical R is bound (other R encodings of one
  // point verify under the ZIP 215 rules).
  std::vector<uint8_t> s(sig.begin(), sig.end());
  const auto tail = fuzz::flip_bit(sig.subspan(32), where);
  std::copy(tail.begin(), tail.end(), s.begin() + 32);
  fuzz::require(!check(msg, ctx, s), "mutated signature accepted");
  if (!msg.empty()) fuzz::require(!check(fuzz::flip_bit(msg, where), ctx, sig), "mutated message accepted");
  if (!ctx.empty()) fuzz::require(!check(msg, fuzz::flip_bit(ctx, where), sig), "mutated context accepted");
  const uint8_t other = code == 5 ? 6 : 5;
  fuzz::require(!*ss::verify_stateful(static_cast<SuiteCode>(other), pk, msg, ctx, sig) &&
                    !*ss::verify_stateless(static_cast<SuiteCode>(other), pk, msg, ctx, sig),
                "accepted under the other suite");
}

void verify_stored(uint8_t code, fuzz::Bytes stored, fuzz::Bytes bundle, fuzz::Bytes msg, fuzz::Bytes ctx,
                   fuzz::Bytes sig) {
  const auto suite = static_cast<SuiteCode>(code);
  const auto a = ss::verify_with_stored_public_key_stateful(suite, stored, bundle, msg, ctx, sig);
  const auto b = ss::verify_with_stored_public_key_stateless(suite, stored, bundle, msg, ctx, sig);
  fuzz::require(a.ok() == stateful_code(code) && b.ok() == stateful_code(code), "entry point refusal");
  if (!a) return;
  fuzz::require(!(*a && *b), "one signature verifies on both paths");
  if (*a || *b) fuzz::note_accepted();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t code = in.byte();
  const uint8_t op = in.byte();
  if (op == 0) {
    import_blob(code, in.rest());
  } else if (op == 1) {
    const auto pk = in.field();
    const auto msg = in.field();
    const auto ctx = in.field();
    verify_whole(data, size, code, pk, msg, ctx, in.rest());
  } else {
    const auto stored = in.field();
    const auto bundle = in.field();
    const auto msg = in.field();
    const auto ctx = in.field();
    verify_stored(code, stored, bundle, msg, ctx, in.rest());
  }
  return 0;
}
