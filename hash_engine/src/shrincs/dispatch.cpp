#include "hash_engine/shrincs/dispatch.hpp"

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/shrincs/uxmss.hpp"
#include "hash_engine/sphincs_plus_c/sphincs.hpp"
#include "subtle/subtle.hpp"

namespace shrincs::dispatch {

using hash::Part;
using P = profiles::p256s::Profile256s;

namespace {

// UXMSS verification of a message under a checked key.
bool stateful_path(const CheckedKey& key, std::span<const uint8_t> message, const signature::Signature& sig) {
  const auto spk = uxmss::StructuredPublicKey::from_bytes(key.key().stateful_public_key);
  return spk && uxmss::verify_stateful_unsafe_raw(*spk, message, sig);
}

}  // namespace

Digest action_message_hash(Path path, std::span<const uint8_t, 32> commitment, const ShrincsAction& action) noexcept {
  // The two label digests are constants, hashed once.
  static const Digest kStateful = hash::ops::keccak_packed({Part(P::VERIFY_STATEFUL)});
  static const Digest kStateless = hash::ops::keccak_packed({Part(P::VERIFY_STATELESS)});
  const Digest& label = path == Path::Stateful ? kStateful : kStateless;
  const auto one = hash::be32(1);
  const auto& w = action.words;
  return hash::ops::keccak_packed(
      {Part(label), Part(one), Part(commitment), Part(w[0]), Part(w[1]), Part(w[2]), Part(w[3]), Part(w[4])});
}

std::optional<CheckedKey> CheckedKey::check(std::span<const uint8_t> c, key::PublicKey pk) {
  if (c.size() != 32 || subtle::ct_is_zero(c.data(), 32).declassify()) return std::nullopt;
  if (pk.carried_commitment.size() != 32 || !subtle::ct_eq(pk.carried_commitment, c).declassify()) return std::nullopt;
  const auto recomputed = pk.commitment();
  if (!recomputed) return std::nullopt;
  if (!subtle::ct_eq(recomputed->data(), pk.carried_commitment.data(), 32).declassify()) return std::nullopt;
  if (pk.stateful_public_key.size() != 68) return std::nullopt;
  return CheckedKey(std::move(pk));
}

bool verify_stateful(const CheckedKey& key, const ShrincsAction& action, const signature::Signature& sig) {
  if (!action.acceptable()) return false;
  return stateful_path(key, action_message_hash(Path::Stateful, key.commitment(), action), sig);
}

bool verify_stateless(const CheckedKey& key, const ShrincsAction& action,
                      const sphincs_plus_c::signature::Signature& sig) {
  if (!action.acceptable()) return false;
  const Digest m = action_message_hash(Path::Stateless, key.commitment(), action);
  hash::Digest seed, root;
  const key::PublicKey& pk = key.key();
  std::copy(pk.stateless_public_seed.begin(), pk.stateless_public_seed.end(), seed.begin());
  std::copy(pk.hypertree_root.begin(), pk.hypertree_root.end(), root.begin());
  return sphincs_plus_c::verify_raw(seed, root, m, sig);
}

bool verify_stateful(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                     const signature::Signature& sig) {
  if (!action.acceptable()) return false;
  const auto key = CheckedKey::check(commitment, pk);
  return key && verify_stateful(*key, action, sig);
}

bool verify_stateful_unsafe_raw(std::span<const uint8_t> commitment, const key::PublicKey& pk,
                                std::span<const uint8_t> message, const signature::Signature& sig) {
  const auto key = CheckedKey::check(commitment, pk);
  return key && stateful_path(*key, message, sig);
}

bool verify_stateless(std::span<const uint8_t> commitment, const key::PublicKey& pk, const ShrincsAction& action,
                      const sphincs_plus_c::signature::Signature& sig) {
  if (!action.acceptable()) return false;
  const auto key = CheckedKey::check(commitment, pk);
  return key && verify_stateless(*key, action, sig);
}

}  // namespace shrincs::dispatch
