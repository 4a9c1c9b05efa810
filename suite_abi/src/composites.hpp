// The four stateless suites' composites behind one face for the ABI. The
// ML-DSA suites sign through `composite`, whose signing answers bare
// success, the FN-DSA suites through `composite_delta`, whose signing
// answers the number of bytes it wrote; here, and only here, both become the
// count the ABI reports.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "valtorimesca/composite.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::composites {

using valtorimesca::DeltaSuite;
using valtorimesca::HybridSuite;

template <HybridSuite S>
inline constexpr size_t kSignatureLen = [] {
  if constexpr (DeltaSuite<S>)
    return valtorimesca::composite_delta::kSignatureLen<S>;
  else
    return valtorimesca::composite::kSignatureLen<S>;
}();

// A signing result of either module as the bytes written.
template <HybridSuite S>
AbiResult<size_t> written(const valtorimesca::CoreStatus& r) {
  if (!r) return abi_fail(from_core(r.error()));
  return kSignatureLen<S>;
}
template <HybridSuite S>
AbiResult<size_t> written(const valtorimesca::CoreResult<size_t>& r) {
  return from_core(r);
}

template <HybridSuite S>
AbiStatus keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  if constexpr (DeltaSuite<S>)
    return from_core(valtorimesca::composite_delta::keypair_from_seed<S>(master, sk_out, pk_out));
  else
    return from_core(valtorimesca::composite::keypair_from_seed<S>(master, sk_out, pk_out));
}

template <HybridSuite S, class R>
AbiResult<size_t> sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  if constexpr (DeltaSuite<S>)
    return written<S>(valtorimesca::composite_delta::sign<S>(sk, msg, ctx, rng, out));
  else
    return written<S>(valtorimesca::composite::sign<S>(sk, msg, ctx, rng, out));
}

template <HybridSuite S>
AbiResult<size_t> sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  if constexpr (DeltaSuite<S>)
    return written<S>(valtorimesca::composite_delta::sign_deterministic<S>(sk, msg, ctx, nonce, out));
  else
    return written<S>(valtorimesca::composite::sign_deterministic<S>(sk, msg, ctx, nonce, out));
}

template <HybridSuite S>
bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if constexpr (DeltaSuite<S>)
    return valtorimesca::composite_delta::verify<S>(pk, msg, ctx, sig);
  else
    return valtorimesca::composite::verify<S>(pk, msg, ctx, sig);
}

}  // namespace valtorimesca_abi::composites
