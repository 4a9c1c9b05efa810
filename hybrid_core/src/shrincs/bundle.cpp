#include "valtorimesca/shrincs/bundle.hpp"

#include "subtle/subtle.hpp"

namespace valtorimesca::shrincs::bundle {

hash::Digest recompute_commitment(std::span<const uint8_t, kBundleLen> b) noexcept {
  return ::shrincs::key::compute_commitment(b.first(kStatefulPublicKeyLen), b.subspan<kStatelessSeedOffset, 32>(),
                                            b.subspan<kHypertreeRootOffset, 32>());
}

CoreResult<::shrincs::dispatch::CheckedKey> verify_bundle(std::span<const uint8_t> b,
                                                          std::span<const uint8_t, kCommitmentLen> expected) {
  if (b.size() != kBundleLen) return fail(CoreError::bad_length(kBundleLen, b.size()));
  if (subtle::ct_is_zero(expected.data(), expected.size()).declassify()) return fail(CoreError::component_failure());
  // The carried field must equal the expected commitment and the one
  // recomputed from the bundle's fields: the check is the engine's.
  auto pk = ::shrincs::key::PublicKey::from_bundle(b);
  if (!pk) return fail(CoreError::component_failure());
  auto checked = ::shrincs::dispatch::CheckedKey::check(expected, std::move(*pk));
  if (!checked) return fail(CoreError::component_failure());
  return std::move(*checked);
}

}  // namespace valtorimesca::shrincs::bundle
