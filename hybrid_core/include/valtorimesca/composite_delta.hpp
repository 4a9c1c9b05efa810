// Composite keys and signatures of the two FN-DSA suites:
//
//   classical signature (64) || delta byte d || FN-DSA-512 signature (411 + d)
//
// Signers always write the full 666-byte FN-DSA signature behind d = 0xFF,
// so every signature made here is 731 bytes; a reader takes any d whose
// length matches and leaves the rest to FN-DSA verification. Keys and the
// two halves are the ones `composite` shares with the ML-DSA suites.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "subtle/subtle.hpp"
#include "valtorimesca/composite.hpp"
#include "valtorimesca/encoding_delta.hpp"
#include "valtorimesca/message.hpp"
#include "valtorimesca/suites.hpp"

namespace valtorimesca::composite_delta {

using component::Bytes;
using component::MutBytes;
template <DeltaSuite S>
using Lengths = composite::Lengths<S>;

// The length of every signature this module makes (731).
template <DeltaSuite S>
inline constexpr size_t kSignatureLen = encoding_delta::kHeaderLen + S::Pq::kSignatureLen;
// The shortest post-quantum signature a delta byte can announce (411).
template <DeltaSuite S>
inline constexpr size_t kPqBase = S::Pq::kSignatureLen - 255;

// Both halves' keys from one master seed: classical key || FN-DSA-512 key.
template <DeltaSuite S>
CoreStatus keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  return composite::detail::keypair<S>(master, sk_out, pk_out);
}

// Hedged signing; answers the number of bytes written, always
// kSignatureLen<S>.
template <DeltaSuite S, component::RandomSource R>
CoreResult<size_t> sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  auto r = composite::detail::sign_halves<S>(composite::detail::Hedged<R>{rng}, sk, msg, ctx, out);
  if (!r) return fail(r.error());
  return kSignatureLen<S>;
}

// Deterministic signing from the caller's nonce; answers the number of
// bytes written, always kSignatureLen<S>.
template <DeltaSuite S>
CoreResult<size_t> sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  auto r = composite::detail::sign_halves<S>(composite::detail::Deterministic{nonce}, sk, msg, ctx, out);
  if (!r) return fail(r.error());
  return kSignatureLen<S>;
}

// False for a wrong key length, a long context, or a signature whose length
// is not the one its delta byte declares; both halves are checked otherwise.
template <DeltaSuite S>
bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (pk.size() != Lengths<S>::kPublicKey) return false;
  auto r = message::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<subtle::Choice> {
    auto d = encoding_delta::decode_delta(sig, kPqBase<S>);
    if (!d) return fail(d.error());
    return composite::detail::verify_halves<S>(pk, m, d->classical, d->pq);
  });
  return r.ok() && r->declassify();
}

}  // namespace valtorimesca::composite_delta
