// Ed25519 under the ZIP 215 rules: the verifier with its libsodium shortcut
// must agree with the full cofactored check on every input, and whatever
// libsodium's strict verifier accepts must pass too.
//
// Input: public-key field, message field, signature (the rest).
#include "valtorimesca/classical/ed25519.hpp"

#include <sodium.h>

#include <array>

#include "fuzz_input.hpp"
#include "valtorimesca/classical/ed25519/edwards.hpp"

namespace ed = valtorimesca::classical::ed25519;

namespace {

bool small_order(fuzz::Bytes enc) {
  const auto p = ed::edwards::decode_relaxed(std::span<const uint8_t, 32>(enc.data(), 32));
  return p && ed::edwards::is_small_order(*p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const auto pk = in.field();
  const auto msg = in.field();
  const auto sig = in.rest();
  const bool ok = ed::verify_zip215(pk, msg, sig);
  if (pk.size() != ed::kPublicKeyLen || sig.size() != ed::kSignatureLen) {
    fuzz::require(!ok, "accepted with a wrong length");
    return 0;
  }
  const bool full = ed::detail::verify_cofactored(std::span<const uint8_t, 32>(pk.data(), 32), msg,
                                                  std::span<const uint8_t, 64>(sig.data(), 64));
  fuzz::require(ok == full, "shortcut and cofactored check disagree");
  static const uint8_t empty = 0;
  const bool strict =
      crypto_sign_ed25519_verify_detached(sig.data(), msg.empty() ? &empty : msg.data(), msg.size(), pk.data()) == 0;
  fuzz::require(!strict || ok, "libsodium accepts what the ZIP 215 verifier refuses");
  if (!ok) return 0;
  fuzz::note_accepted();

  // A changed S always changes [S]B by a point outside the torsion.
  const uint32_t where = fuzz::mix(data, size);
  std::array<uint8_t, 64> s_flipped{};
  const auto s = fuzz::flip_bit(sig.subspan(32), where);
  std::copy(sig.begin(), sig.begin() + 32, s_flipped.begin());
  std::copy(s.begin(), s.end(), s_flipped.begin() + 32);
  fuzz::require(!ed::verify_zip215(pk, msg, s_flipped), "mutated S accepted");
  // With A of small order [k]A vanishes under the cofactor, so any message
  // verifies; otherwise a changed message changes k.
  if (!small_order(pk) && !msg.empty())
    fuzz::require(!ed::verify_zip215(pk, fuzz::flip_bit(msg, where), sig), "mutated message accepted");
  return 0;
}
