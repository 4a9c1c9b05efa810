// The body of the two engine signature targets: flat-form decoding and
// verification under a commitment and a verify key bundle, on one path.
//
// Input: commitment field, key-bundle field, 160 action bytes, signature
// (the rest).
#pragma once

#include <algorithm>

#include "engine_codecs.hpp"
#include "fuzz_input.hpp"
#include "hash_engine/shrincs/verifier.hpp"

namespace fuzz {

// One-time-leaf signatures.
struct StatefulPath {
  static auto decode(Bytes b) { return shrincs::signature::decode_stateful(b); }
  static auto encode(const shrincs::signature::Signature& s) { return vt_test::encode_stateful(s); }
  static bool verify(Bytes c, const shrincs::key::PublicKey& pk, const shrincs::ShrincsAction& a,
                     const shrincs::signature::Signature& s) {
    const auto key = shrincs::dispatch::CheckedKey::check(c, pk);
    return key && shrincs::verifier::ShrincsVerifier::verify_stateful(*key, a, s);
  }
};

// Few-time signatures.
struct StatelessPath {
  static auto decode(Bytes b) { return sphincs_plus_c::signature::decode_flat(b); }
  static auto encode(const sphincs_plus_c::signature::Signature& s) { return vt_test::encode_flat(s); }
  static bool verify(Bytes c, const shrincs::key::PublicKey& pk, const shrincs::ShrincsAction& a,
                     const sphincs_plus_c::signature::Signature& s) {
    const auto key = shrincs::dispatch::CheckedKey::check(c, pk);
    return key && shrincs::verifier::ShrincsVerifier::verify_stateless(*key, a, s);
  }
};

template <class Path>
bool engine_check(Bytes commitment, Bytes bundle, Bytes action, Bytes sig) {
  const auto pk = shrincs::key::PublicKey::from_bundle(bundle);
  const auto s = Path::decode(sig);
  if (!pk || !s || action.size() != 160) return false;
  const auto a = shrincs::ShrincsAction::from_bytes(std::span<const uint8_t, 160>(action.data(), 160));
  return Path::verify(commitment, *pk, a, *s);
}

template <class Path>
int engine_signature_target(const uint8_t* data, size_t size) {
  Input in(data, size);
  const auto commitment = in.field();
  const auto bundle = in.field();
  const auto action = in.take(160);
  const auto sig = in.rest();

  if (const auto s = Path::decode(sig)) {
    const auto again = Path::encode(*s);
    require(std::equal(again.begin(), again.end(), sig.begin(), sig.end()), "decoding does not round-trip");
  }
  if (const auto pk = shrincs::key::PublicKey::from_bundle(bundle)) {
    const auto again = pk->to_bundle();
    require(std::equal(again.begin(), again.end(), bundle.begin(), bundle.end()), "bundle does not round-trip");
  }
  const auto check = engine_check<Path>;
  if (!check(commitment, bundle, action, sig)) return 0;
  note_accepted();
  const uint32_t where = mix(data, size);
  require(!check(commitment, bundle, action, flip_bit(sig, where)), "mutated signature accepted");
  require(!check(commitment, bundle, flip_bit(action, where), sig), "mutated action accepted");
  require(!check(commitment, flip_bit(bundle, where), action, sig), "mutated key bundle accepted");
  require(!check(flip_bit(commitment, where), bundle, action, sig), "mutated commitment accepted");
  return 0;
}

}  // namespace fuzz
