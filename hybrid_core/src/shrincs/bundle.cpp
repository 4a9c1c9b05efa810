#include "valtorimesca/shrincs/bundle.hpp"

#include "hash_engine/shrincs/verifier.hpp"
#include "subtle/subtle.hpp"

namespace valtorimesca::shrincs::bundle {

hash::Digest recompute_commitment(std::span<const uint8_t, kBundleLen> b) noexcept {
  return ::shrincs::verifier::ShrincsVerifier::public_key_commitment(
      b.first(kStatefulPublicKeyLen), b.subspan<kStatelessSeedOffset, 32>(), b.subspan<kHypertreeRootOffset, 32>());
}

Result<::shrincs::dispatch::CheckedKey, BundleFault> verify_bundle(std::span<const uint8_t> b,
                                                                 std::span<const uint8_t, kCommitmentLen> expected) {
  if (b.size() != kBundleLen) return Err{BundleFault::BadLength};
  if (subtle::ct_is_zero(expected.data(), expected.size()).declassify()) return Err{BundleFault::ZeroCommitment};
  // The carried field must equal the expected commitment and the one
  // recomputed from the bundle's fields: the check is the engine's.
  auto pk = ::shrincs::key::PublicKey::from_bundle(b);
  if (!pk) return Err{BundleFault::Mismatch};
  auto checked = ::shrincs::dispatch::CheckedKey::check(expected, std::move(*pk));
  if (!checked) return Err{BundleFault::Mismatch};
  return std::move(*checked);
}

}  // namespace valtorimesca::shrincs::bundle
