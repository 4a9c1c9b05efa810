#include "hash_engine/shrincs/key.hpp"

#include <cstring>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/sphincs_plus_c/hypertree.hpp"
#include "subtle/subtle.hpp"

namespace shrincs {

ShrincsAction ShrincsAction::from_bytes(std::span<const uint8_t, 160> b) noexcept {
  ShrincsAction a;
  for (size_t i = 0; i < 5; ++i) std::memcpy(a.words[i].data(), b.data() + 32 * i, 32);
  return a;
}

bool ShrincsAction::acceptable() const noexcept {
  for (size_t i : {0, 3, 4})
    if (subtle::ct_is_zero(words[i].data(), 32).declassify()) return false;
  return true;
}

}  // namespace shrincs

namespace shrincs::key {

using hash::Part;
using P = profiles::p256s::Profile256s;

Digest compute_commitment(std::span<const uint8_t> stateful_public_key, std::span<const uint8_t, 32> stateless_seed,
                          std::span<const uint8_t, 32> hypertree_root) noexcept {
  return hash::ops::keccak_packed({Part(P::PUBLIC_KEY_LABEL), Part(P::PROFILE_LABEL), Part(stateful_public_key),
                                   Part(stateless_seed), Part(hypertree_root)});
}

std::optional<PublicKey> PublicKey::from_bundle(std::span<const uint8_t> b) {
  if (b.size() != 164) return std::nullopt;
  PublicKey pk;
  pk.stateful_public_key.assign(b.begin(), b.begin() + 68);
  pk.carried_commitment.assign(b.begin() + 68, b.begin() + 100);
  pk.stateless_public_seed.assign(b.begin() + 100, b.begin() + 132);
  pk.hypertree_root.assign(b.begin() + 132, b.end());
  return pk;
}

std::vector<uint8_t> PublicKey::to_bundle() const {
  std::vector<uint8_t> out(stateful_public_key);
  out.insert(out.end(), carried_commitment.begin(), carried_commitment.end());
  out.insert(out.end(), stateless_public_seed.begin(), stateless_public_seed.end());
  out.insert(out.end(), hypertree_root.begin(), hypertree_root.end());
  return out;
}

std::optional<Digest> PublicKey::commitment() const {
  if (stateless_public_seed.size() != 32 || hypertree_root.size() != 32) return std::nullopt;
  return compute_commitment(stateful_public_key, std::span<const uint8_t, 32>(stateless_public_seed.data(), 32),
                            std::span<const uint8_t, 32>(hypertree_root.data(), 32));
}

namespace {

Digest commitment_of(const uxmss::Key& stateful, const sphincs_plus_c::key::Key& stateless) {
  const auto spk = stateful.public_key().to_bytes();
  return compute_commitment(spk, stateless.public_seed, stateless.root);
}

}  // namespace

std::optional<Keys> Keys::generate(const hash::SecretSeed& stateless_sk_seed, const hash::SecretSeed& stateless_prf_key,
                                   const Digest& stateless_public_seed, const hash::SecretSeed& stateful_sk_seed,
                                   const hash::SecretSeed& stateful_prf_key, const Digest& stateful_public_seed,
                                   uint32_t capacity) {
  if (capacity < 1 || capacity > profiles::p256s::MAX_LEAF_CAPACITY) return std::nullopt;
  Keys k;
  k.stateless.priv.sk_seed = stateless_sk_seed;
  k.stateless.priv.prf_key = stateless_prf_key;
  k.stateless.public_seed = stateless_public_seed;
  k.stateless.root = sphincs_plus_c::hypertree::hypertree_public_root(stateless_sk_seed, stateless_public_seed);
  k.stateful = uxmss::Key::generate(stateful_sk_seed, stateful_prf_key, stateful_public_seed, capacity);
  k.commitment = commitment_of(k.stateful, k.stateless);
  return k;
}

std::optional<Keys> Keys::import(std::span<const uint8_t> bytes) {
  if (bytes.size() != kEncodedLen) return std::nullopt;
  auto stateful = uxmss::Key::from_bytes(bytes.first(uxmss::Key::kEncodedLen));
  auto stateless = sphincs_plus_c::key::Key::from_bytes(bytes.subspan(uxmss::Key::kEncodedLen));
  if (!stateful || !stateless) return std::nullopt;
  const Digest c = commitment_of(*stateful, *stateless);
  const uint32_t m = stateful->capacity();
  if (m < 1 || m > profiles::p256s::MAX_LEAF_CAPACITY) return std::nullopt;
  if (stateful->next() - 1u > m) return std::nullopt;
  const Digest chain_root = stateful->build_cache();
  Digest ht_root;
  {
    sphincs_plus_c::key::Key work = *stateless;  // wiped when it goes
    ht_root = sphincs_plus_c::hypertree::hypertree_public_root(work.priv.sk_seed, work.public_seed);
  }
  if (!subtle::ct_eq(chain_root.data(), stateful->root().data(), 32).declassify()) return std::nullopt;
  if (!subtle::ct_eq(ht_root.data(), stateless->root.data(), 32).declassify()) return std::nullopt;
  Keys k;
  k.stateless = *stateless;
  k.commitment = c;
  k.stateful = *stateful;
  return k;
}

zeroize::SecretArray<Keys::kEncodedLen> Keys::to_bytes() const noexcept {
  zeroize::SecretArray<kEncodedLen> b;
  const auto a = stateful.to_bytes();
  const auto s = stateless.to_bytes();
  std::memcpy(b.data(), a.data(), a.size());
  std::memcpy(b.data() + a.size(), s.data(), s.size());
  return b;
}

PublicKey Keys::public_key() const {
  const auto spk = stateful.public_key().to_bytes();
  PublicKey pk;
  pk.stateful_public_key.assign(spk.begin(), spk.end());
  pk.carried_commitment.assign(commitment.begin(), commitment.end());
  pk.stateless_public_seed.assign(stateless.public_seed.begin(), stateless.public_seed.end());
  pk.hypertree_root.assign(stateless.root.begin(), stateless.root.end());
  return pk;
}

}  // namespace shrincs::key
