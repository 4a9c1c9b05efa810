#include "valtorimesca/shrincs/scheme.hpp"

#include <cstring>
#include <string_view>

#include "hash_engine/hash/ops.hpp"
#include "hash_engine/shrincs/signature.hpp"
#include "hash_engine/shrincs/signer.hpp"
#include "hash_engine/shrincs/uxmss.hpp"
#include "hash_engine/shrincs/verifier.hpp"
#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::shrincs {

namespace {

namespace bd = bundle;
using ::shrincs::dispatch::action_message_hash;
using ::shrincs::dispatch::Path;
using ::shrincs::verifier::ShrincsVerifier;

// H(label ‖ seed) with the engine hash; labels carry no zero byte.
hash::Digest seed_hash(std::string_view label, Bytes seed) noexcept {
  return hash::ops::keccak_packed({hash::Part(label), hash::Part(seed)});
}

// The same hash written straight into a seed that wipes itself.
hash::SecretSeed secret_seed(std::string_view label, Bytes seed) noexcept {
  hash::SecretSeed out;
  hash::ops::keccak_packed({hash::Part(label), hash::Part(seed)}, out.data());
  return out;
}

std::span<const uint8_t, 32> commitment_field(Bytes bundle) noexcept {
  return std::span<const uint8_t, 32>(bundle.data() + bd::kCommitmentOffset, 32);
}

}  // namespace

ShrincsSecretKey::ShrincsSecretKey(::shrincs::key::Keys keys) noexcept : present_(1), keys_(std::move(keys)) {}

ShrincsSecretKey::ShrincsSecretKey(ShrincsSecretKey&& o) noexcept : present_(o.present_), keys_(o.keys_) {
  o.zeroize();
}

ShrincsSecretKey& ShrincsSecretKey::operator=(ShrincsSecretKey&& o) noexcept {
  if (this != &o) {
    zeroize();
    present_ = o.present_;
    keys_ = o.keys_;
    o.zeroize();
  }
  return *this;
}

void ShrincsSecretKey::zeroize() noexcept {
  if (present_ == 0) return;
  keys_.zeroize();
  present_ = 0;
}

::shrincs::ShrincsAction action_for(Bytes message) noexcept {
  ::shrincs::ShrincsAction a;
  a.words[0] = ACTION_CONST_A;
  a.words[3] = ACTION_CONST_B;
  a.words[4] = keccak::keccak256(message);
  return a;
}

std::optional<ShrincsScheme::Action> ShrincsScheme::acceptable_action(Bytes message) noexcept {
  const ::shrincs::ShrincsAction a = action_for(message);
  const auto& d = a.words[4];
  if (subtle::ct_is_zero(d.data(), d.size()).declassify()) return std::nullopt;
  return a;
}

CoreResult<ShrincsSecretKey> ShrincsScheme::keygen_from_seed(Bytes seed, uint32_t capacity, MutBytes bundle_out) {
  if (bundle_out.size() != bd::kBundleLen) return fail(CoreError::bad_length(bd::kBundleLen, bundle_out.size()));
  if (capacity < 1 || capacity > kMaxLeafCapacity) return fail(CoreError::component_failure());
  const hash::SecretSeed stateless_sk = secret_seed("shrincs-stateless-sk-seed", seed);
  const hash::SecretSeed stateless_prf = secret_seed("shrincs-stateless-prf-seed", seed);
  const hash::Digest stateless_pk = seed_hash("shrincs-pk-seed", seed);
  const hash::SecretSeed stateful_sk = secret_seed("shrincs-stateful-sk-seed", seed);
  const hash::SecretSeed stateful_prf = secret_seed("shrincs-stateful-prf-seed", seed);
  const hash::Digest stateful_pk = seed_hash("shrincs-stateful-pk-seed", seed);
  auto keys = ::shrincs::key::Keys::generate(stateless_sk, stateless_prf, stateless_pk, stateful_sk, stateful_prf,
                                             stateful_pk, capacity);
  if (!keys) return fail(CoreError::component_failure());
  const std::vector<uint8_t> b = keys->public_key().to_bundle();
  std::memcpy(bundle_out.data(), b.data(), bd::kBundleLen);
  return ShrincsSecretKey(std::move(*keys));
}

CoreResult<size_t> ShrincsScheme::sign_stateful(ShrincsSecretKey& key, Bytes bundle, Bytes message, MutBytes out) {
  if (bundle.size() != bd::kBundleLen) return fail(CoreError::bad_length(bd::kBundleLen, bundle.size()));
  const ::shrincs::ShrincsAction action = action_for(message);
  if (!key.present()) return fail(CoreError::component_failure());
  const hash::Digest m = action_message_hash(Path::Stateful, commitment_field(bundle), action);
  const uint32_t q = key.next_leaf();
  auto sig = ::shrincs::uxmss::sign_stateful_raw(key.keys().stateful, m);
  if (!sig) return fail(CoreError::component_failure());
  // From here on the leaf is used up whatever happens.
  if (!action.acceptable()) return fail(CoreError::component_failure());
  const size_t need = stateful_sig_len(q);
  if (out.size() < need) return fail(CoreError::output_buffer_too_small(need, out.size()));
  if (::shrincs::signature::stateful_len(*sig) != need) return fail(CoreError::component_failure());
  auto n = ::shrincs::signature::write_stateful(*sig, out);
  if (!n) return fail(CoreError::component_failure());
  return *n;
}

CoreResult<size_t> ShrincsScheme::sign_stateless(const ShrincsSecretKey& key, const Action& action, MutBytes out) {
  if (!key.present()) return fail(CoreError::component_failure());
  const hash::Digest m = action_message_hash(Path::Stateless, key.keys().commitment, action);
  auto sig = ::shrincs::signer::ShrincsSigner::sign_stateless_raw(key.keys().stateless, m);
  if (!sig) return fail(CoreError::component_failure());
  return write_flat_stateless(*sig, out);
}

subtle::Choice ShrincsScheme::verify_stateful(Bytes bundle, const Action& action, Bytes signature) {
  if (bundle.size() != bd::kBundleLen) return subtle::Choice();
  auto key = bd::verify_bundle(bundle, commitment_field(bundle));
  if (!key) return subtle::Choice();
  if (signature.size() < kStatefulSigFixedLen || signature.size() % kAuthNodeLen != kStatefulSigFixedLen % kAuthNodeLen)
    return subtle::Choice();
  auto sig = ::shrincs::signature::decode_stateful(signature);
  if (!sig) return subtle::Choice();
  return subtle::Choice::from_bit(ShrincsVerifier::verify_stateful(*key, action, *sig));
}

subtle::Choice ShrincsScheme::verify_stateless(Bytes bundle, const Action& action, Bytes signature) {
  if (bundle.size() != bd::kBundleLen) return subtle::Choice();
  auto key = bd::verify_bundle(bundle, commitment_field(bundle));
  if (!key) return subtle::Choice();
  auto sig = read_flat_stateless(signature);
  if (!sig) return subtle::Choice();
  return subtle::Choice::from_bit(ShrincsVerifier::verify_stateless(*key, action, *sig));
}

CoreStatus ShrincsScheme::export_secret_key(const ShrincsSecretKey& key, MutBytes out) {
  if (out.size() != kEngineKeyLen) return fail(CoreError::bad_length(kEngineKeyLen, out.size()));
  if (!key.present()) return fail(CoreError::component_failure());
  const zeroize::SecretArray<kEngineKeyLen> tmp = key.keys().to_bytes();
  std::memcpy(out.data(), tmp.data(), kEngineKeyLen);
  return {};
}

CoreResult<ShrincsSecretKey> ShrincsScheme::import_secret_key(Bytes engine_key) {
  if (engine_key.size() != kEngineKeyLen) return fail(CoreError::bad_length(kEngineKeyLen, engine_key.size()));
  auto keys = ::shrincs::key::Keys::import(engine_key);
  if (!keys) return fail(CoreError::component_failure());
  return ShrincsSecretKey(std::move(*keys));
}

CoreResult<uint32_t> ShrincsScheme::max_signatures_from_vk(Bytes bundle) {
  if (bundle.size() != bd::kBundleLen) return fail(CoreError::bad_length(bd::kBundleLen, bundle.size()));
  return hash::get_be32(bundle.data() + bd::kCapacityOffset);
}

CoreResult<Bytes> ShrincsScheme::stateless_key_material(Bytes bundle) {
  if (bundle.size() != bd::kBundleLen) return fail(CoreError::bad_length(bd::kBundleLen, bundle.size()));
  return bundle.subspan(bd::kStatelessMaterialOffset, bd::kStatelessMaterialLen);
}

CoreStatus ShrincsScheme::compute_committed_key(Bytes bundle, MutBytes out) {
  if (out.size() != bd::kCommitmentLen) return fail(CoreError::bad_length(bd::kCommitmentLen, out.size()));
  if (bundle.size() != bd::kBundleLen) return fail(CoreError::bad_length(bd::kBundleLen, bundle.size()));
  const hash::Digest c =
      bd::recompute_commitment(std::span<const uint8_t, bd::kBundleLen>(bundle.data(), bd::kBundleLen));
  std::memcpy(out.data(), c.data(), c.size());
  return {};
}

CoreStatus ShrincsScheme::verify_committed_key(Bytes commitment, Bytes bundle) {
  if (commitment.size() != bd::kCommitmentLen)
    return fail(CoreError::bad_length(bd::kCommitmentLen, commitment.size()));
  auto r = bd::verify_bundle(bundle, std::span<const uint8_t, 32>(commitment.data(), 32));
  if (!r) return fail(r.error());
  return {};
}

std::optional<sphincs_plus_c::signature::Signature> read_flat_stateless(Bytes bytes) {
  if (bytes.size() != kStatelessSigLen) return std::nullopt;
  return sphincs_plus_c::signature::decode_flat(bytes);
}

CoreResult<size_t> write_flat_stateless(const sphincs_plus_c::signature::Signature& sig, MutBytes out) {
  const size_t need = sphincs_plus_c::signature::flat_len(sig);
  auto n = sphincs_plus_c::signature::write_flat(sig, out);
  if (!n) return fail(CoreError::output_buffer_too_small(need, out.size()));
  return *n;
}

}  // namespace valtorimesca::shrincs
