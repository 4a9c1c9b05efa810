// Composite keys and signatures of the stateless suites, written once over
// the suite binding. The ML-DSA suites live in `composite`, the FN-DSA
// suites, whose signatures carry a delta byte, in `composite_delta`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "subtle/subtle.hpp"
#include "valtorimesca/composite.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/encoding_delta.hpp"
#include "valtorimesca/hybrid_suite.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::composite_common {

using component::Bytes;
using component::MutBytes;

template <HybridSuite S>
struct Lengths {
  using C = typename S::Classical;
  using P = typename S::Pq;
  static constexpr size_t kSecretKey = C::kSecretKeyLen + P::kSecretKeyBytes;
  static constexpr size_t kPublicKey = C::kPublicKeyLen + P::kPublicKeyBytes;
};

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
  auto c = C::derive(std::span<const uint8_t, 32>(classical_seed.get()), sk_out.first(C::kSecretKeyLen), pk_out.first(C::kPublicKeyLen));
  if (!c) return c;
  return P::derive(Bytes(pq_seed.get()), sk_out.subspan(C::kSecretKeyLen), pk_out.subspan(C::kPublicKeyLen));
}

// The shared signing frame: context, key and output tests in that order,
// then the classical half into out[0, 64) and the post-quantum half into
// out[pq_offset, pq_offset + signature).
template <HybridSuite S, class Halves>
CoreStatus sign_frame(Bytes sk, Bytes msg, Bytes ctx, MutBytes out, size_t total, size_t pq_offset,
                      Halves&& halves) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  using L = Lengths<S>;
  return composite::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreStatus {
    if (sk.size() != L::kSecretKey) return fail(CoreError::bad_length(L::kSecretKey, sk.size()));
    if (out.size() < total) return fail(CoreError::output_buffer_too_small(total, out.size()));
    return halves(m, sk.first(C::kSecretKeyLen), sk.subspan(C::kSecretKeyLen),
                  out.first(C::kSignatureLen), out.subspan(pq_offset, P::kSignatureBytes));
  });
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

// Both halves into out; with a delta byte, the post-quantum signature
// starts one byte later and the delta is written once both halves signed.
template <HybridSuite S, class Halves>
CoreStatus sign_halves(const Halves& halves, Bytes sk, Bytes msg, Bytes ctx, MutBytes out, bool delta) {
  constexpr size_t classical_len = S::Classical::kSignatureLen;
  const size_t pq_offset = classical_len + (delta ? 1 : 0);
  return sign_frame<S>(sk, msg, ctx, out, pq_offset + S::Pq::kSignatureBytes, pq_offset,
                       [&](Bytes m, Bytes csk, Bytes psk, MutBytes cout, MutBytes pout) -> CoreStatus {
                         auto c = halves.template classical<S>(csk, m, cout);
                         if (!c) return c;
                         auto p = halves.template pq<S>(psk, m, pout);
                         if (!p) return p;
                         if (delta) out[classical_len] = encoding_delta::kSignerDelta;
                         return {};
                       });
}

template <HybridSuite S>
subtle::Choice verify_halves(Bytes pk, Bytes m, Bytes classical_sig, Bytes pq_sig) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  // Both checks always run.
  const subtle::Choice a = C::verify(pk.first(C::kPublicKeyLen), m, S::label(), classical_sig);
  const subtle::Choice b = P::verify(pk.subspan(C::kPublicKeyLen), m, pq_sig);
  return a & b;
}

}  // namespace valtorimesca::composite_common

namespace valtorimesca::composite {

using component::Bytes;
using component::MutBytes;

template <HybridSuite S>
inline constexpr size_t kSignatureLen = S::Classical::kSignatureLen + S::Pq::kSignatureBytes;

template <HybridSuite S>
CoreStatus keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  return composite_common::keypair_from_seed<S>(master, sk_out, pk_out);
}

template <HybridSuite S, component::RandomSource R>
CoreStatus sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  return composite_common::sign_halves<S>(composite_common::Hedged<R>{rng}, sk, msg, ctx, out, false);
}

template <HybridSuite S>
CoreStatus sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  return composite_common::sign_halves<S>(composite_common::Deterministic{nonce}, sk, msg, ctx, out, false);
}

template <HybridSuite S>
bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  using C = typename S::Classical;
  if (pk.size() != composite_common::Lengths<S>::kPublicKey || sig.size() != kSignatureLen<S> ||
      ctx.size() > message::kMaxContext) {
    return false;
  }
  auto r = with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<subtle::Choice> {
    return composite_common::verify_halves<S>(pk, m, sig.first(C::kSignatureLen),
                                              sig.subspan(C::kSignatureLen));
  });
  return r.ok() && r->declassify();
}

}  // namespace valtorimesca::composite

namespace valtorimesca::composite_delta {

using component::Bytes;
using component::MutBytes;

template <HybridSuite S>
inline constexpr size_t kSignatureLen = encoding_delta::kHeaderLen + S::Pq::kSignatureBytes;
// The shortest post-quantum signature a delta byte can announce.
template <HybridSuite S>
inline constexpr size_t kPqBase = S::Pq::kSignatureBytes - 255;

template <HybridSuite S>
CoreStatus keypair_from_seed(const std::array<uint8_t, 32>& master, MutBytes sk_out, MutBytes pk_out) {
  return composite_common::keypair_from_seed<S>(master, sk_out, pk_out);
}

template <HybridSuite S, component::RandomSource R>
CoreResult<size_t> sign(Bytes sk, Bytes msg, Bytes ctx, R& rng, MutBytes out) {
  auto r = composite_common::sign_halves<S>(composite_common::Hedged<R>{rng}, sk, msg, ctx, out, true);
  if (!r) return fail(r.error());
  return kSignatureLen<S>;
}

template <HybridSuite S>
CoreResult<size_t> sign_deterministic(Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes out) {
  auto r = composite_common::sign_halves<S>(composite_common::Deterministic{nonce}, sk, msg, ctx, out, true);
  if (!r) return fail(r.error());
  return kSignatureLen<S>;
}

template <HybridSuite S>
bool verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (pk.size() != composite_common::Lengths<S>::kPublicKey) return false;
  auto r = composite::with_m_prime(S::label(), msg, ctx, [&](Bytes m) -> CoreResult<subtle::Choice> {
    auto d = encoding_delta::decode_delta(sig, kPqBase<S>);
    if (!d) return fail(d.error());
    return composite_common::verify_halves<S>(pk, m, d->classical, d->pq);
  });
  return r.ok() && r->declassify();
}

}  // namespace valtorimesca::composite_delta
