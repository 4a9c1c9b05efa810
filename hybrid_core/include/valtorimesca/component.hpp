// The interfaces behind which the components of the suites sit: the
// classical signing half (ClassicalScheme), its VRF half (ClassicalVrf), the
// post-quantum half of the stateless suites (PqScheme), that of the stateful
// suites (PqStatefulScheme), and the random sources hedged operations are
// generic over.
//
// Components are types with static operations; the composite layer is
// written once over these concepts and instantiated per suite at build time.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "osrng/osrng.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/error.hpp"

namespace valtorimesca::component {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;
using Seed = std::span<const uint8_t, 32>;

// A cryptographic generator: fills a whole buffer with fresh bytes. Code
// generic over it calls the (pointer, length) form.
template <class R>
concept RandomSource = requires(R& r, uint8_t* p, size_t n) {
  r.fill_bytes(p, n);
};

// The operating system's generator. A failing source is an internal fault.
struct OsRng {
  void fill_bytes(std::span<uint8_t> out) { osrng::fill(out); }
  void fill_bytes(uint8_t* out, size_t len) { osrng::fill(out, len); }
};

// derive(seed, sk_out, pk_out); sign(sk, msg, label, rng, sig_out);
// sign_deterministic(sk, msg, nonce, label, sig_out); verify(pk, msg, label,
// sig). Lengths of slices are checked by the component; labels carry their
// terminating zero byte. verify never fails: malformed input answers false.
template <class C>
concept ClassicalScheme = requires(Seed seed, Bytes in, MutBytes out, OsRng& rng) {
  { C::kSecretKeyLen } -> std::convertible_to<size_t>;
  { C::kPublicKeyLen } -> std::convertible_to<size_t>;
  { C::kSignatureLen } -> std::convertible_to<size_t>;
  { C::derive(seed, out, out) } -> std::same_as<CoreStatus>;
  { C::sign(in, in, in, rng, out) } -> std::same_as<CoreStatus>;
  { C::sign_deterministic(in, in, in, in, out) } -> std::same_as<CoreStatus>;
  { C::verify(in, in, in, in) } -> std::same_as<subtle::Choice>;
};

// vrf_evaluate(sk, label, input, rng, pre_out, proof_out);
// vrf_evaluate_deterministic(sk, label, input, pre_out, proof_out);
// vrf_verify(pk, label, input, pre_output, proof);
// vrf_make_bytes(pk, label, input, pre_output, context) -> 32 bytes.
// The pre-output is 32 bytes; the classical proof kVrfProofLen bytes.
template <class C>
concept ClassicalVrf = requires(Bytes in, MutBytes out, OsRng& rng) {
  { C::kVrfPreOutputLen } -> std::convertible_to<size_t>;
  { C::kVrfProofLen } -> std::convertible_to<size_t>;
  { C::vrf_evaluate(in, in, in, rng, out, out) } -> std::same_as<CoreStatus>;
  { C::vrf_evaluate_deterministic(in, in, in, out, out) } -> std::same_as<CoreStatus>;
  { C::vrf_verify(in, in, in, in, in) } -> std::same_as<subtle::Choice>;
  { C::vrf_make_bytes(in, in, in, in, in) } -> std::same_as<CoreResult<std::array<uint8_t, 32>>>;
};

// derive(seed, sk_out, pk_out); sign(sk, msg, rng, sig_out);
// sign_deterministic(sk, msg, nonce, sig_out); verify(pk, msg, sig).
template <class P>
concept PqScheme = requires(Bytes in, MutBytes out, OsRng& rng) {
  { P::kSeedLen } -> std::convertible_to<size_t>;
  { P::kSecretKeyLen } -> std::convertible_to<size_t>;
  { P::kPublicKeyLen } -> std::convertible_to<size_t>;
  { P::kSignatureLen } -> std::convertible_to<size_t>;
  { P::derive(in, out, out) } -> std::same_as<CoreStatus>;
  { P::sign(in, in, rng, out) } -> std::same_as<CoreStatus>;
  { P::sign_deterministic(in, in, in, out) } -> std::same_as<CoreStatus>;
  { P::verify(in, in, in) } -> std::same_as<subtle::Choice>;
};

// The post-quantum half of the stateful suites (SHRINCS): keys generated
// from a seed with a leaf capacity, a one-time-leaf path that advances the
// key and a few-time path that does not, verification against a 164-byte
// verify key bundle, and the 264-byte engine key. Both paths take the action
// words of `acceptable_action`, so a message is hashed once per operation.
// Suites are bound at build time, so there is no run-time table of
// operations.
template <class P>
concept PqStatefulScheme = requires(typename P::SecretKey& key, const typename P::SecretKey& ckey,
                                    const typename P::Action& action, Bytes in, MutBytes out, uint32_t capacity) {
  { P::keygen_from_seed(in, capacity, out) } -> std::same_as<CoreResult<typename P::SecretKey>>;
  { P::sign_stateful(key, in, in, out) } -> std::same_as<CoreResult<size_t>>;
  { P::sign_stateless(ckey, action, out) } -> std::same_as<CoreResult<size_t>>;
  { P::verify_stateful(in, action, in) } -> std::same_as<subtle::Choice>;
  { P::verify_stateless(in, action, in) } -> std::same_as<subtle::Choice>;
  { P::export_secret_key(ckey, out) } -> std::same_as<CoreStatus>;
  { P::import_secret_key(in) } -> std::same_as<CoreResult<typename P::SecretKey>>;
  { P::max_signatures_from_vk(in) } -> std::same_as<CoreResult<uint32_t>>;
  { P::stateless_key_material(in) } -> std::same_as<CoreResult<Bytes>>;
  { P::acceptable_action(in) } -> std::same_as<std::optional<typename P::Action>>;
};

}  // namespace valtorimesca::component
