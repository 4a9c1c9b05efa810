// Dedicated VRF keys of ED_SH and SR_SH, and the few-time post-quantum half
// of their proofs.
//
// A dedicated key is a stateful-suite secret key of one leaf, generated from
// the seed derived with "vrf-stateless/" and the suite label, so it shares no
// seed, bundle or budget key with the identity key of the same master seed.
// It lives only in memory (no export, no import) and never signs on the
// stateful path: every proof spends one unit of its few-time budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "valtorimesca/budget.hpp"
#include "valtorimesca/error.hpp"
#include "valtorimesca/stateful_composite.hpp"

namespace valtorimesca::vrf::stateless {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;

struct DedicatedVrfKey {
  stateful_composite::SecretKey key;  // capacity 1; wiped when released

  // The classical secret key (64 bytes), for the classical VRF half.
  Bytes classical_secret_key() const noexcept { return key.classical_sk.span(); }
  // The cached 164-byte verify key bundle.
  Bytes bundle() const noexcept { return key.bundle; }
};

struct DerivedVrfKey {
  DedicatedVrfKey key;
  stateful_composite::PublicKey pk;  // 196-byte verify form
};

// The dedicated key of suite S from a 32-byte master seed: a whole SHRINCS
// key generation (the expensive part). The derived seed is wiped on both
// outcomes.
template <stateful_composite::StatefulSuite S>
CoreResult<DerivedVrfKey> derive_stateless_key(std::span<const uint8_t, 32> master);

// The post-quantum half of a dedicated key's proof over the binding
// message, written as the 29092-byte flat stateless signature into
// out[0, 29092). In this order:
//   ComponentFailure            the Keccak-256 of the message is all zero
//   BadLength                   the key's bundle is not 164 bytes
//   BudgetStoreFailed           consumed failed (record not called)
//   StatelessBudgetExhausted    the count is at 2^20 or above (no record)
//   BudgetStoreFailed           record failed (nothing signed)
//   the signer's CoreError      after the unit was recorded (it stays spent)
//   BadLength                   the signer wrote other than 29092 bytes
// The caller checks its own output buffer before calling; `out` shorter than
// 29092 bytes gives OutputBufferTooSmall after the spend.
CoreResult<size_t> sign_binding_stateless(const DedicatedVrfKey& key, budget::BudgetRef store, Bytes binding_message,
                                          MutBytes out);

}  // namespace valtorimesca::vrf::stateless
