#include "valtorimesca/vrf/stateless.hpp"

#include "valtorimesca/derive.hpp"

namespace valtorimesca::vrf::stateless {

using shrincs::ShrincsScheme;

template <stateful_composite::StatefulSuite S>
CoreResult<DerivedVrfKey> derive_stateless_key(std::span<const uint8_t, 32> master) {
  auto seed = derive::derive_stateless_vrf_seed(master, S::label());
  if (!seed) return fail(seed.error());
  auto kp = stateful_composite::keygen<S>(seed->span(), 1);
  if (!kp) return fail(kp.error());
  return DerivedVrfKey{DedicatedVrfKey{std::move(kp->sk)}, std::move(kp->pk)};
}

CoreResult<size_t> sign_binding_stateless(const DedicatedVrfKey& key, budget::BudgetRef store, Bytes binding_message,
                                          MutBytes out) {
  const auto action = ShrincsScheme::acceptable_action(binding_message);
  if (!action) return fail(CoreError::component_failure());
  auto material = ShrincsScheme::stateless_key_material(key.key.bundle);
  if (!material) return fail(material.error());
  auto spent = budget::spend_one(store, budget::BudgetKey::from_material(*material));
  if (!spent) return fail(spent.error());
  auto n = ShrincsScheme::sign_stateless(key.key.pq, *action, out);
  if (!n) return n;
  if (*n != shrincs::kStatelessSigLen) return fail(CoreError::bad_length(shrincs::kStatelessSigLen, *n));
  return *n;
}

template CoreResult<DerivedVrfKey> derive_stateless_key<shrincs::EdSh>(std::span<const uint8_t, 32>);
template CoreResult<DerivedVrfKey> derive_stateless_key<shrincs::SrSh>(std::span<const uint8_t, 32>);

}  // namespace valtorimesca::vrf::stateless
