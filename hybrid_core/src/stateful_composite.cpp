#include "valtorimesca/stateful_composite.hpp"

#include <algorithm>
#include <cstring>

#include "hash_engine/hash/ops.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/message.hpp"

namespace valtorimesca::stateful_composite {

namespace {

using shrincs::ShrincsScheme;
using stateful::KeyIdentity;
using stateful::StatefulSignError;

Err<StatefulSignError> refuse(StatefulSignError e) { return Err<StatefulSignError>{e}; }

template <StatefulSuite S>
bool verify_path(Bytes pk, Bytes msg, Bytes ctx, Bytes sig, encoding_path::PathSelector path) {
  auto v = decode_for_verify<S>(pk, msg, ctx, sig);
  if (!v || v->decoded.sig.path != path) return false;
  const Bytes bundle = pk.subspan(kClassicalPublicKeyLen);
  // Both halves are always checked; their verdicts meet in one AND.
  const subtle::Choice classical =
      S::Classical::verify(pk.first(kClassicalPublicKeyLen), v->m_prime, S::label(), v->decoded.classical);
  const subtle::Choice pq = path == encoding_path::PathSelector::Stateful
                                ? ShrincsScheme::verify_stateful(bundle, v->action, v->decoded.sig.pq)
                                : ShrincsScheme::verify_stateless(bundle, v->action, v->decoded.sig.pq);
  return (classical & pq).declassify();
}

}  // namespace

CoreResult<zeroize::SecretBytes> SecretKey::export_blob() const {
  if (classical_sk.size() != kClassicalSecretKeyLen || bundle.size() != kBundleLen)
    return fail(CoreError::component_failure());
  zeroize::SecretBytes blob(kExportLen);
  std::memcpy(blob.data(), classical_sk.data(), kClassicalSecretKeyLen);
  auto e = ShrincsScheme::export_secret_key(pq, blob.span().subspan(kEngineKeyOffset, shrincs::kEngineKeyLen));
  if (!e) return fail(e.error());  // blob wipes itself
  hash::put_be32(blob.data() + kSpentOffset, pq.spent());
  std::memcpy(blob.data() + kBundleOffset, bundle.data(), kBundleLen);
  return blob;
}

namespace {

// An Ed25519 secret key is seed || public key, and the public half is what
// every verifier holds: a seed that does not derive it would sign, spend a
// leaf and release a signature that nothing accepts. An sr25519 secret key
// (scalar || nonce) carries no public half to compare with, so nothing in
// the blob checks it.
template <StatefulSuite S>
bool classical_half_consistent(Bytes classical_sk) {
  if constexpr (std::same_as<typename S::Classical, classical::ed25519::Ed25519>) {
    zeroize::SecretArray<kClassicalSecretKeyLen> rebuilt;
    std::array<uint8_t, kClassicalPublicKeyLen> public_half{};
    const auto seed = std::span<const uint8_t, 32>(classical_sk.data(), 32);
    if (!S::Classical::derive(seed, rebuilt.span(), public_half)) return false;
    return subtle::ct_eq(Bytes(public_half), classical_sk.subspan(32, kClassicalPublicKeyLen)).declassify();
  } else {
    return true;
  }
}

}  // namespace

template <StatefulSuite S>
CoreResult<SecretKey> SecretKey::import(Bytes blob) {
  if (blob.size() != kExportLen) return fail(CoreError::bad_length(kExportLen, blob.size()));
  auto pq = ShrincsScheme::import_secret_key(blob.subspan(kEngineKeyOffset, shrincs::kEngineKeyLen));
  if (!pq) return fail(pq.error());
  // The counter guards against a component key whose leaf counter was reset.
  if (hash::get_be32(blob.data() + kSpentOffset) != pq->next_leaf() - 1) return fail(CoreError::component_failure());
  // The cached bundle names the key's identity and budget: unless it is the
  // very bundle of the engine key it travels with, one key's leaves would be
  // spent under another key's journal and budget.
  const Bytes cached = blob.subspan(kBundleOffset, kBundleLen);
  const std::vector<uint8_t> rebuilt = pq->keys().public_key().to_bundle();
  const bool bundle_matches =
      rebuilt.size() == kBundleLen && std::equal(rebuilt.begin(), rebuilt.end(), cached.begin());
  SecretKey key;
  key.classical_sk = zeroize::SecretBytes(blob.first(kClassicalSecretKeyLen));
  key.bundle.assign(cached.begin(), cached.end());
  key.pq = std::move(*pq);
  key.whole = bundle_matches && classical_half_consistent<S>(key.classical_sk.span());
  return key;
}

CoreResult<std::array<uint8_t, kStoredPublicKeyLen>> PublicKey::stored_form() const {
  if (bytes.size() < kClassicalPublicKeyLen) return fail(CoreError::bad_length(kPublicKeyLen, bytes.size()));
  const Bytes bundle = Bytes(bytes).subspan(kClassicalPublicKeyLen);
  std::array<uint8_t, kStoredPublicKeyLen> out{};
  std::memcpy(out.data(), bytes.data(), kClassicalPublicKeyLen);
  auto c = ShrincsScheme::compute_committed_key(bundle, MutBytes(out).subspan(kClassicalPublicKeyLen));
  if (!c) return fail(c.error());
  return out;
}

template <StatefulSuite S>
CoreResult<KeyPair> keygen(std::span<const uint8_t, 32> master, uint32_t capacity) {
  using C = typename S::Classical;
  if (capacity < 1 || capacity > shrincs::kMaxLeafCapacity) return fail(CoreError::component_failure());
  zeroize::Wiped<std::array<uint8_t, 32>> classical_seed{};
  zeroize::Wiped<std::array<uint8_t, 32>> pq_seed{};
  auto d = derive::derive_component_seeds(master, S::label(), classical_seed.get(), pq_seed.get());
  if (!d) return fail(d.error());
  KeyPair kp;
  kp.sk.classical_sk = zeroize::SecretBytes(kClassicalSecretKeyLen);
  kp.pk.bytes.assign(kPublicKeyLen, 0);
  auto c = C::derive(std::span<const uint8_t, 32>(classical_seed.get()), kp.sk.classical_sk.span(),
                     MutBytes(kp.pk.bytes).first(kClassicalPublicKeyLen));
  zeroize::wipe_object(classical_seed.get());
  if (!c) return fail(c.error());
  auto pq = ShrincsScheme::keygen_from_seed(Bytes(pq_seed.get()), capacity,
                                            MutBytes(kp.pk.bytes).subspan(kClassicalPublicKeyLen));
  zeroize::wipe_object(pq_seed.get());
  if (!pq) return fail(pq.error());
  kp.sk.bundle.assign(kp.pk.bytes.begin() + kClassicalPublicKeyLen, kp.pk.bytes.end());
  kp.sk.pq = std::move(*pq);
  return kp;
}

template <StatefulSuite S>
stateful::SignResult<std::array<uint8_t, kClassicalSignatureLen>> classical_sign(Bytes classical_sk, Bytes m_prime,
                                                                                 Bytes ctx) {
  std::array<uint8_t, kClassicalSignatureLen> sig{};
  auto r = S::Classical::sign_deterministic(classical_sk, m_prime, ctx, S::label(), sig);
  if (!r) return refuse(StatefulSignError::SigningFailed);
  return sig;
}

stateful::SignResult<std::vector<uint8_t>> encode_signature(Bytes classical_sig,
                                                            const encoding_path::PathSelectedSignature& sig) {
  if (classical_sig.size() != kClassicalSignatureLen) return refuse(StatefulSignError::SigningFailed);
  auto e = encoding_path::encode_path_selected(classical_sig, sig, kPqSizes);
  if (!e) return refuse(StatefulSignError::SigningFailed);
  return std::move(*e);
}

template <StatefulSuite S>
std::optional<ForVerify> decode_for_verify(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (pk.size() != kPublicKeyLen) return std::nullopt;
  auto m = message::m_prime(S::label(), msg, ctx);
  if (!m) return std::nullopt;
  const auto action = ShrincsScheme::acceptable_action(*m);
  if (!action) return std::nullopt;
  auto cap = ShrincsScheme::max_signatures_from_vk(pk.subspan(kClassicalPublicKeyLen));
  if (!cap) return std::nullopt;
  auto d = encoding_path::decode_path_selected(sig, *cap, kPqSizes);
  if (!d) return std::nullopt;
  return ForVerify{std::move(*m), *action, *d};
}

template <StatefulSuite S>
stateful::SignResult<std::vector<uint8_t>> sign_stateful(SecretKey& key, stateful::JournalRef journal, Bytes msg,
                                                         Bytes ctx) {
  auto m = message::m_prime(S::label(), msg, ctx);
  if (!m) return refuse(StatefulSignError::SigningFailed);
  const KeyIdentity id = KeyIdentity::derive(S::label(), key.bundle);

  const auto bound = journal.bound_key();
  if (!bound || !(*bound == id)) return refuse(StatefulSignError::JournalKeyMismatch);
  const uint32_t spent = key.pq.spent();
  if (journal.next_leaf() != spent) return refuse(StatefulSignError::CountersDiverged);

  auto classical = classical_sign<S>(key.classical_sk.span(), *m, ctx);
  if (!classical) return refuse(classical.error());

  const uint32_t capacity = key.pq.capacity();
  // The signature is built in place: the post-quantum half goes straight
  // into its final position, with room for the key's largest leaf.
  constexpr size_t at = encoding_path::pq_offset(encoding_path::PathSelector::Stateful);
  std::vector<uint8_t> out(at + shrincs::stateful_sig_len(capacity));

  const auto bound_again = journal.bound_key();
  if (!bound_again || !(*bound_again == id)) return refuse(StatefulSignError::JournalKeyMismatch);
  const uint32_t leaf = journal.next_leaf();
  if (leaf >= capacity) return refuse(StatefulSignError::LeavesExhausted);
  // The engine signs with the key's own next leaf; the journal must be about
  // to record that same leaf. A journal that moved since the first reading
  // (another key object or process on the same blob) would otherwise record
  // one leaf while another is signed.
  if (leaf != spent) return refuse(StatefulSignError::CountersDiverged);
  if (!journal.commit(leaf)) return refuse(StatefulSignError::JournalFailed);

  const MutBytes pq_buf = MutBytes(out).subspan(at);
  auto written = ShrincsScheme::sign_stateful(key.pq, key.bundle, *m, pq_buf);
  if (!written) return refuse(StatefulSignError::GrindAbort);
  const size_t n = std::min(*written, pq_buf.size());
  if (n < shrincs::kStatefulSigFixedLen || (n - shrincs::kStatefulSigFixedLen) % shrincs::kAuthNodeLen != 0)
    return refuse(StatefulSignError::SigningFailed);
  // n is at most the buffer, made for the key's largest leaf, so q is at
  // most the capacity and fits in 32 bits.
  const size_t q = (n - shrincs::kStatefulSigFixedLen) / shrincs::kAuthNodeLen;
  auto total = encoding_path::frame_in_place(
      out, *classical, encoding_path::PathSelectedSignature::stateful(uint32_t(q), pq_buf.first(n)), kPqSizes);
  if (!total) return refuse(StatefulSignError::SigningFailed);
  out.resize(*total);
  return out;
}

template <StatefulSuite S>
stateful::SignResult<std::vector<uint8_t>> sign_stateless(const SecretKey& key, budget::BudgetRef store, Bytes msg,
                                                          Bytes ctx) {
  auto m = message::m_prime(S::label(), msg, ctx);
  if (!m) return refuse(StatefulSignError::SigningFailed);
  const auto action = ShrincsScheme::acceptable_action(*m);
  if (!action) return refuse(StatefulSignError::SigningFailed);
  auto material = ShrincsScheme::stateless_key_material(key.bundle);
  if (!material) return refuse(StatefulSignError::SigningFailed);
  const budget::BudgetKey bkey = budget::BudgetKey::from_material(*material);

  auto spent = budget::spend_one(store, bkey);
  if (!spent) {
    const bool exhausted = spent.error().kind == CoreError::Kind::StatelessBudgetExhausted;
    return refuse(exhausted ? StatefulSignError::StatelessBudgetExhausted : StatefulSignError::BudgetStoreFailed);
  }

  std::vector<uint8_t> pq_buf(shrincs::kStatelessSigLen);
  auto written = ShrincsScheme::sign_stateless(key.pq, *action, pq_buf);
  if (!written) return refuse(StatefulSignError::GrindAbort);
  const size_t n = std::min(*written, pq_buf.size());
  auto classical = classical_sign<S>(key.classical_sk.span(), *m, ctx);
  if (!classical) return refuse(classical.error());
  return encode_signature(*classical, encoding_path::PathSelectedSignature::stateless(Bytes(pq_buf).first(n)));
}

template <StatefulSuite S>
bool verify_stateful(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  return verify_path<S>(pk, msg, ctx, sig, encoding_path::PathSelector::Stateful);
}

template <StatefulSuite S>
bool verify_stateless(Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  return verify_path<S>(pk, msg, ctx, sig, encoding_path::PathSelector::Stateless);
}

#define VT_STATEFUL_SUITE(S)                                                                                         \
  template CoreResult<KeyPair> keygen<S>(std::span<const uint8_t, 32>, uint32_t);                                    \
  template stateful::SignResult<std::array<uint8_t, kClassicalSignatureLen>> classical_sign<S>(Bytes, Bytes, Bytes); \
  template std::optional<ForVerify> decode_for_verify<S>(Bytes, Bytes, Bytes, Bytes);                                \
  template CoreResult<SecretKey> SecretKey::import <S>(Bytes);                                                       \
  template stateful::SignResult<std::vector<uint8_t>> sign_stateful<S>(SecretKey&, stateful::JournalRef, Bytes,      \
                                                                       Bytes);                                       \
  template stateful::SignResult<std::vector<uint8_t>> sign_stateless<S>(const SecretKey&, budget::BudgetRef, Bytes,  \
                                                                        Bytes);                                      \
  template bool verify_stateful<S>(Bytes, Bytes, Bytes, Bytes);                                                      \
  template bool verify_stateless<S>(Bytes, Bytes, Bytes, Bytes);

VT_STATEFUL_SUITE(EdSh)
VT_STATEFUL_SUITE(SrSh)
#undef VT_STATEFUL_SUITE

}  // namespace valtorimesca::stateful_composite
