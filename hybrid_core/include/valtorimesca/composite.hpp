// Composite keys and signatures of the four stateless suites, written once
// over the suite binding:
//
//   ML-DSA suites: classical signature (64) || ML-DSA-44 signature (2420)
//   FN-DSA suites: classical signature (64) || delta byte || FN-DSA-512
//                  signature (at most 666; the delta byte gives its length)
//
// Every suite signs into a caller buffer of at least kSignatureLen<S> bytes
// and answers the number of bytes written, so callers never branch on the
// delta byte.
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

// The longest signature of the suite: the delta byte counts for FN-DSA.
template <HybridSuite S>
inline constexpr size_t kSignatureLen = S::Classical::kSignatureLen + (DeltaSuite<S> ? 1 : 0) + S::Pq::kSignatureLen;

// The shortest post-quantum signature a delta byte can announce.
template <DeltaSuite S>
inline constexpr size_t kDeltaPqBase = S::Pq::kSignatureLen - 255;

// Both halves' keys from one master seed: classical key || post-quantum key.
template <HybridSuite S>
CoreStatus keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
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

namespace detail {

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
// The context, key and output lengths are tested in that order. Answers the
// signature's length.
template <HybridSuite S, class Halves>
CoreResult<size_t> sign_halves(const Halves& halves, Bytes sk, Bytes msg, Bytes ctx, MutBytes out) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  using L = Lengths<S>;
  constexpr bool delta = DeltaSuite<S>;
  constexpr size_t pq_offset = C::kSignatureLen + (delta ? 1 : 0);
  constexpr size_t total = kSignatureLen<S>;
  return message::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<size_t> {
    if (sk.size() != L::kSecretKey) return fail(CoreError::bad_length(L::kSecretKey, sk.size()));
    if (out.size() < total) return fail(CoreError::output_buffer_too_small(total, out.size()));
    auto c = halves.template classical<S>(sk.first(C::kSecretKeyLen), m, out.first(C::kSignatureLen));
    if (!c) return fail(c.error());
    auto p = halves.template pq<S>(sk.subspan(C::kSecretKeyLen), m, out.subspan(pq_offset, P::kSignatureLen));
    if (!p) return fail(p.error());
    if constexpr (delta) out[C::kSignatureLen] = encoding_delta::kSignerDelta;
    return total;
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

// Hedged signing; answers the number of bytes written.
template <HybridSuite S, component::RandomSource R>
CoreResult<size_t> sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  return detail::sign_halves<S>(detail::Hedged<R>{rng}, sk, msg, ctx, out);
}

// Deterministic signing from the caller's nonce; answers the number of bytes
// written.
template <HybridSuite S>
CoreResult<size_t> sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  return detail::sign_halves<S>(detail::Deterministic{nonce}, sk, msg, ctx, out);
}

// False for any wrong length, encoding or signature. An FN-DSA signature's
// length must be the one its delta byte declares.
template <HybridSuite S>
bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  using C = typename S::Classical;
  if (pk.size() != Lengths<S>::kPublicKey) return false;
  if constexpr (!DeltaSuite<S>) {
    if (sig.size() != kSignatureLen<S> || ctx.size() > message::kMaxContext) return false;
  }
  auto r = message::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<subtle::Choice> {
    if constexpr (DeltaSuite<S>) {
      auto d = encoding_delta::decode_delta(sig, kDeltaPqBase<S>);
      if (!d) return fail(d.error());
      return detail::verify_halves<S>(pk, m, d->classical, d->pq);
    } else {
      return detail::verify_halves<S>(pk, m, sig.first(C::kSignatureLen), sig.subspan(C::kSignatureLen));
    }
  });
  return r.ok() && r->declassify();
}

}  // namespace valtorimesca::composite
