// The interface every post-quantum component of the stateless suites
// implements (`PqScheme`), and the random generators it is driven with.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

#include "osrng/osrng.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/error.hpp"

namespace valtorimesca::component {

// A source of random bytes: anything with fill_bytes(out, len).
template <class R>
concept RandomSource = requires(R& r, uint8_t* out, size_t len) { r.fill_bytes(out, len); };

// The operating system's generator; a failing source is an internal fault.
struct OsRng {
  void fill_bytes(uint8_t* out, size_t len) { osrng::fill(out, len); }
};

// A post-quantum component: fixed lengths and four operations. Byte
// arguments are slices whose lengths the component checks itself.
//   derive(seed, sk_out, pk_out)
//   sign(sk, msg, rng, sig_out)             generic over the generator
//   sign_deterministic(sk, msg, nonce, sig_out)
//   verify(pk, msg, sig) -> constant-time truth value
template <class P>
concept PqScheme = requires(std::span<const uint8_t> in, std::span<uint8_t> out, OsRng& rng) {
  { P::kSeedBytes } -> std::convertible_to<size_t>;
  { P::kSecretKeyBytes } -> std::convertible_to<size_t>;
  { P::kPublicKeyBytes } -> std::convertible_to<size_t>;
  { P::kSignatureBytes } -> std::convertible_to<size_t>;
  { P::derive(in, out, out) } -> std::same_as<CoreStatus>;
  { P::sign(in, in, rng, out) } -> std::same_as<CoreStatus>;
  { P::sign_deterministic(in, in, in, out) } -> std::same_as<CoreStatus>;
  { P::verify(in, in, in) } -> std::same_as<subtle::Choice>;
};

}  // namespace valtorimesca::component
