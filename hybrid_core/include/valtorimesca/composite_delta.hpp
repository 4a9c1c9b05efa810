// Composite keys and signatures of the two FN-DSA suites: classical
// signature (64) || delta byte || FN-DSA-512 signature. Keys and the two
// halves are those of `composite`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "valtorimesca/composite.hpp"
#include "valtorimesca/encoding_delta.hpp"

namespace valtorimesca::composite_delta {

using component::Bytes;
using component::MutBytes;

template <HybridSuite S>
inline constexpr size_t kSignatureLen = encoding_delta::kHeaderLen + S::Pq::kSignatureLen;
// The shortest post-quantum signature a delta byte can announce.
template <HybridSuite S>
inline constexpr size_t kPqBase = S::Pq::kSignatureLen - 255;

template <HybridSuite S>
CoreStatus keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  return composite::keypair_from_seed<S>(master, sk_out, pk_out);
}

template <DeltaSuite S, component::RandomSource R>
CoreResult<size_t> sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  auto r = composite::detail::sign_halves<S>(composite::detail::Hedged<R>{rng}, sk, msg, ctx, out);
  if (!r) return fail(r.error());
  return kSignatureLen<S>;
}

template <DeltaSuite S>
CoreResult<size_t> sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  auto r = composite::detail::sign_halves<S>(composite::detail::Deterministic{nonce}, sk, msg, ctx, out);
  if (!r) return fail(r.error());
  return kSignatureLen<S>;
}

template <DeltaSuite S>
bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (pk.size() != composite::Lengths<S>::kPublicKey) return false;
  auto r = message::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<subtle::Choice> {
    auto d = encoding_delta::decode_delta(sig, kPqBase<S>);
    if (!d) return fail(d.error());
    return composite::detail::verify_halves<S>(pk, m, d->classical, d->pq);
  });
  return r.ok() && r->declassify();
}

}  // namespace valtorimesca::composite_delta
