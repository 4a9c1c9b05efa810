// Keys, signing and verification of the stateful suites ED_SH and SR_SH:
// a classical key paired with a SHRINCS key, written once over the suite
// binding (EdSh, SrSh) and instantiated for both.
//
// Byte forms:
//   verify-form public key (196): classical public key 32 | bundle 164
//   stored public key (64):       classical public key 32 | commitment 32
//   export blob (496):            classical secret key 64 | engine key 264 |
//                                 BE32 spent-leaf count | bundle 164
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "valtorimesca/budget.hpp"
#include "valtorimesca/encoding_path.hpp"
#include "valtorimesca/error.hpp"
#include "valtorimesca/shrincs/scheme.hpp"
#include "valtorimesca/shrincs/suites.hpp"
#include "valtorimesca/stateful.hpp"
#include "valtorimesca/stateful_error.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::stateful_composite {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;
using shrincs::EdSh;
using shrincs::SrSh;
using shrincs::StatefulSuite;

inline constexpr size_t kClassicalSecretKeyLen = 64;
inline constexpr size_t kClassicalPublicKeyLen = 32;
inline constexpr size_t kClassicalSignatureLen = 64;
inline constexpr size_t kBundleLen = shrincs::bundle::kBundleLen;
inline constexpr size_t kPublicKeyLen = kClassicalPublicKeyLen + kBundleLen;       // 196
inline constexpr size_t kStoredPublicKeyLen = kClassicalPublicKeyLen + 32;         // 64
inline constexpr size_t kEngineKeyOffset = kClassicalSecretKeyLen;                 // 64
inline constexpr size_t kSpentOffset = kEngineKeyOffset + shrincs::kEngineKeyLen;  // 328
inline constexpr size_t kBundleOffset = kSpentOffset + 4;                          // 332
inline constexpr size_t kExportLen = kBundleOffset + kBundleLen;                   // 496
inline constexpr encoding_path::PqSizes kPqSizes{shrincs::kStatefulSigFixedLen, shrincs::kStatelessSigLen};

// A verifier that can keep a 32-byte commitment in place of a whole bundle.
template <class K>
concept CommittedVerifyKey = requires(Bytes in, MutBytes out) {
  { K::compute_committed_key(in, out) } -> std::same_as<CoreStatus>;
  { K::verify_committed_key(in, in) } -> std::same_as<CoreStatus>;
};
static_assert(CommittedVerifyKey<shrincs::ShrincsScheme>);

// The secret key of a stateful suite. Release wipes the classical key and
// then the SHRINCS key; the cached bundle is public.
struct SecretKey {
  zeroize::SecretBytes classical_sk;  // 64 bytes, the component's own form
  std::vector<uint8_t> bundle;        // 164 bytes, cached verify key bundle
  shrincs::ShrincsSecretKey pq;
  // Whether the parts of the key belong together: the cached bundle is the
  // engine key's own and, for ED_SH, the Ed25519 seed derives the public half
  // stored after it. Judged once, when a blob is imported (a generated key
  // is whole by construction). A key that is not whole still exports and
  // names its identity, but the key handle refuses to sign with it: it would
  // spend leaves or budget units on signatures no verifier accepts, or under
  // another key's journal and budget.
  bool whole = true;

  SecretKey() = default;
  SecretKey(SecretKey&&) noexcept = default;
  SecretKey& operator=(SecretKey&&) noexcept = default;
  ~SecretKey() {
    classical_sk.clear();
    pq.zeroize();
  }

  // The 496-byte export blob.
  CoreResult<zeroize::SecretBytes> export_blob() const;
  // The validating import of an export blob for suite S: the engine key and
  // the spent-leaf count against it. Nothing else refuses the blob; whether
  // the other parts agree with the engine key is kept in `whole`.
  template <StatefulSuite S>
  static CoreResult<SecretKey> import(Bytes blob);
};

// The 196-byte verify-form public key.
struct PublicKey {
  std::vector<uint8_t> bytes;

  // Classical public key followed by the commitment recomputed from the
  // bundle (never copied from its carried field).
  CoreResult<std::array<uint8_t, kStoredPublicKeyLen>> stored_form() const;
};

struct KeyPair {
  SecretKey sk;
  PublicKey pk;
};

// A new key pair from a 32-byte master seed with `capacity` one-time leaves
// (ComponentFailure outside 1 .. 4096, before anything is derived).
template <StatefulSuite S>
CoreResult<KeyPair> keygen(std::span<const uint8_t, 32> master, uint32_t capacity);

// The classical half of both paths: deterministic, with the context as the
// nonce; any failure is SigningFailed.
template <StatefulSuite S>
stateful::SignResult<std::array<uint8_t, kClassicalSignatureLen>> classical_sign(Bytes classical_sk, Bytes m_prime,
                                                                                 Bytes ctx);

stateful::SignResult<std::vector<uint8_t>> encode_signature(Bytes classical_sig,
                                                            const encoding_path::PathSelectedSignature& sig);

struct ForVerify {
  std::vector<uint8_t> m_prime;
  ::shrincs::ShrincsAction action;  // the words over m_prime, acceptable
  encoding_path::Decoded decoded;
};
// The first step of every verification; nothing for a long context, an
// unacceptable message representative, a bundle of the wrong length or a
// signature that does not decode under the key's capacity.
template <StatefulSuite S>
std::optional<ForVerify> decode_for_verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig);

// Spends one leaf recorded in the journal before the one-time signature is
// made. The journal sees bound_key, next_leaf, bound_key, next_leaf, commit.
template <StatefulSuite S>
stateful::SignResult<std::vector<uint8_t>> sign_stateful(SecretKey& key, stateful::JournalRef journal, Bytes msg,
                                                         Bytes ctx);
// Spends one budget unit recorded in the store before the few-time
// signature is made; the key is not changed.
template <StatefulSuite S>
stateful::SignResult<std::vector<uint8_t>> sign_stateless(const SecretKey& key, budget::BudgetRef store, Bytes msg,
                                                          Bytes ctx);

// Total verifications against a 196-byte verify-form public key; each
// accepts only its own path.
template <StatefulSuite S>
bool verify_stateful(Bytes pk, Bytes msg, Bytes ctx, Bytes sig);
template <StatefulSuite S>
bool verify_stateless(Bytes pk, Bytes msg, Bytes ctx, Bytes sig);

}  // namespace valtorimesca::stateful_composite
