// Composite keys and signatures of the two ML-DSA suites, written once over
// the suite binding:
//
//   classical signature (64) || ML-DSA-44 signature (2420)
//
// The pieces both stateless composites share (lengths, key derivation, the
// two-half signer and verifier) live in `composite::detail`;
// `composite_delta` builds the FN-DSA suites, whose signatures carry a delta
// byte, on them. Each module accepts only its own suites.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "subtle/subtle.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/encoding_delta.hpp"
#include "valtorimesca/message.hpp"
#include "valtorimesca/suites.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::composite {

using component::Bytes;
using component::MutBytes;

template <HybridSuite S>
struct Lengths {
  using C = typename S::Classical;
  using P = typename S::Pq;
  static constexpr size_t kSecretKey = C::kSecretKeyLen + P::kSecretKeyLen;
  static constexpr size_t kPublicKey = C::kPublicKeyLen + P::kPublicKeyLen;
};

// The signature length of an ML-DSA suite.
template <HybridSuite S>
requires(!DeltaSuite<S>) inline constexpr size_t kSignatureLen = S::Classical::kSignatureLen + S::Pq::kSignatureLen;

namespace detail {

// Both halves' keys from one master seed: classical key || post-quantum key.
template <HybridSuite S>
CoreStatus keypair(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  using L = Lengths<S>;
  if (sk_out.size() != L::kSecretKey) return fail(CoreError::bad_length(L::kSecretKey, sk_out.size()));
  if (pk_out.size() != L::kPublicKey) return fail(CoreError::bad_length(L::kPublicKey, pk_out.size()));
  zeroize::Wiped<std::array<uint8_t, 32>> classical_seed{};
  zeroize::Wiped<std::array<uint8_t, 32>> pq_seed{};
  auto d = derive::derive_component_seeds(master, S::label(), classical_seed.get(), pq_seed.get());
  if (!d) return d;
  auto c = C::derive(std::span<const uint8_t, 32>(classical_seed.get()), sk_out.first(C::kSecretKeyLen),
                     pk_out.first(C::kPublicKeyLen));
  if (!c) return c;
  return P::derive(Bytes(pq_seed.get()), sk_out.subspan(C::kSecretKeyLen), pk_out.subspan(C::kPublicKeyLen));
}

// How the two halves sign: hedged from a generator, or deterministically
// from the caller's nonce (each component decides how it uses the nonce).
template <component::RandomSource R>
struct Hedged {
  R& rng;
  template <HybridSuite S>
  CoreStatus classical(Bytes sk, Bytes m, MutBytes out) const {
    return S::Classical::sign(sk, m, S::label(), rng, out);
  }
  template <HybridSuite S>
  CoreStatus pq(Bytes sk, Bytes m, MutBytes out) const {
    return S::Pq::sign(sk, m, rng, out);
  }
};

struct Deterministic {
  Bytes nonce;
  template <HybridSuite S>
  CoreStatus classical(Bytes sk, Bytes m, MutBytes out) const {
    return S::Classical::sign_deterministic(sk, m, nonce, S::label(), out);
  }
  template <HybridSuite S>
  CoreStatus pq(Bytes sk, Bytes m, MutBytes out) const {
    return S::Pq::sign_deterministic(sk, m, nonce, out);
  }
};

// Signs the representative of (msg, ctx) with both halves: the classical
// signature into out[0, 64), the post-quantum one after it, one byte later
// when the suite carries a delta byte (written once both halves signed).
// The context, key and output lengths are tested in that order.
template <HybridSuite S, class Halves>
CoreStatus sign_halves(const Halves& halves, Bytes sk, Bytes msg, Bytes ctx, MutBytes out) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  using L = Lengths<S>;
  constexpr bool delta = DeltaSuite<S>;
  constexpr size_t pq_offset = C::kSignatureLen + (delta ? 1 : 0);
  constexpr size_t total = pq_offset + P::kSignatureLen;
  return message::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreStatus {
    if (sk.size() != L::kSecretKey) return fail(CoreError::bad_length(L::kSecretKey, sk.size()));
    if (out.size() < total) return fail(CoreError::output_buffer_too_small(total, out.size()));
    auto c = halves.template classical<S>(sk.first(C::kSecretKeyLen), m, out.first(C::kSignatureLen));
    if (!c) return c;
    auto p = halves.template pq<S>(sk.subspan(C::kSecretKeyLen), m, out.subspan(pq_offset, P::kSignatureLen));
    if (!p) return p;
    if constexpr (delta) out[C::kSignatureLen] = encoding_delta::kSignerDelta;
    return {};
  });
}

// Both checks always run.
template <HybridSuite S>
subtle::Choice verify_halves(Bytes pk, Bytes m, Bytes classical_sig, Bytes pq_sig) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  const subtle::Choice a = C::verify(pk.first(C::kPublicKeyLen), m, S::label(), classical_sig);
  const subtle::Choice b = P::verify(pk.subspan(C::kPublicKeyLen), m, pq_sig);
  return a & b;
}

}  // namespace detail

// Both halves' keys from one master seed: classical key || ML-DSA-44 key.
template <HybridSuite S>
requires(!DeltaSuite<S>) CoreStatus
    keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  return detail::keypair<S>(master, sk_out, pk_out);
}

// Hedged signing: on success the first kSignatureLen<S> bytes of `out` hold
// the signature.
template <HybridSuite S, component::RandomSource R>
requires(!DeltaSuite<S>) CoreStatus sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  return detail::sign_halves<S>(detail::Hedged<R>{rng}, sk, msg, ctx, out);
}

// Deterministic signing from the caller's nonce (each half decides whether
// it uses it).
template <HybridSuite S>
requires(!DeltaSuite<S>) CoreStatus sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  return detail::sign_halves<S>(detail::Deterministic{nonce}, sk, msg, ctx, out);
}

// False for any wrong length, context or signature.
template <HybridSuite S>
requires(!DeltaSuite<S>) bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  using C = typename S::Classical;
  if (pk.size() != Lengths<S>::kPublicKey || sig.size() != kSignatureLen<S> || ctx.size() > message::kMaxContext) {
    return false;
  }
  auto r = message::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<subtle::Choice> {
    return detail::verify_halves<S>(pk, m, sig.first(C::kSignatureLen), sig.subspan(C::kSignatureLen));
  });
  return r.ok() && r->declassify();
}

}  // namespace valtorimesca::composite
