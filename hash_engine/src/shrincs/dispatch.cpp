#include "hash_engine/shrincs/dispatch.hpp"

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "subtle/subtle.hpp"

namespace shrincs::dispatch {

using hash::Part;
using P = profiles::p256s::Profile256s;

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

}  // namespace shrincs::dispatch
