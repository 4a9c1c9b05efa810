#include "valtorimesca/shrincs/bundle.hpp"

#include "hash_engine/shrincs/verifier.hpp"
#include "subtle/subtle.hpp"

namespace valtorimesca::shrincs::bundle {

hash::Digest recompute_commitment(std::span<const uint8_t, kBundleLen> b) noexcept {
  return ::shrincs::verifier::ShrincsVerifier::public_key_commitment(
      b.first(kStatefulPublicKeyLen), b.subspan<kStatelessSeedOffset, 32>(), b.subspan<kHypertreeRootOffset, 32>());
}

CoreResult<::shrincs::key::PublicKey> verify_bundle(std::span<const uint8_t> b,
                                                    std::span<const uint8_t, kCommitmentLen> expected) {
  if (b.size() != kBundleLen) return fail(CoreError::bad_length(kBundleLen, b.size()));
  if (subtle::ct_is_zero(expected.data(), expected.size()).declassify()) return fail(CoreError::component_failure());
  const std::span<const uint8_t, kBundleLen> fixed(b.data(), kBundleLen);
  const hash::Digest c = recompute_commitment(fixed);
  const subtle::Choice carried = subtle::ct_eq(c.data(), b.data() + kCommitmentOffset, kCommitmentLen);
  const subtle::Choice given = subtle::ct_eq(c.data(), expected.data(), kCommitmentLen);
  if (!(carried & given).declassify()) return fail(CoreError::component_failure());
  auto pk = ::shrincs::key::PublicKey::from_bundle(b);
  pk->carried_commitment.assign(c.begin(), c.end());
  return std::move(*pk);
}

}  // namespace valtorimesca::shrincs::bundle
