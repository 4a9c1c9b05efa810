// Entry points of the hybrid VRF: proving for the stateless suites from their
// secret key, proving for ED_SH and SR_SH with a dedicated key held in memory
// (one few-time budget unit per proof), verification and output bytes for
// all six suites.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "valtorimesca/budget.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::vrf {

using Output = std::array<uint8_t, 32>;

// The proof length of a suite (the largest for the FN-DSA suites).
constexpr size_t vrf_proof_len(SuiteCode c) noexcept { return sizes(c).vrf_proof; }

// Hedged proof (the sr25519 half draws fresh randomness); codes 1 to 4.
AbiResult<size_t> vrf_prove(SuiteCode suite, Bytes sk, Bytes input, MutBytes proof_out);
// Reproducible proof; codes 1 to 4.
AbiResult<size_t> vrf_prove_deterministic(SuiteCode suite, Bytes sk, Bytes input, MutBytes proof_out);

// The verdict for any suite; every fault answers false.
bool vrf_verify(SuiteCode suite, Bytes pk, Bytes input, Bytes proof);

// 32 output bytes from the proof's pre-output. Does not verify the proof.
AbiStatus vrf_make_bytes(SuiteCode suite, Bytes pk, Bytes input, Bytes proof, Bytes ctx, Output& out);

// The dedicated VRF key of ED_SH or SR_SH, derived from a master seed; it
// lives only in memory and is wiped when destroyed.
class VrfStatelessKey {
 public:
  struct Impl;

  // WrongEntryPointForSuite for codes 1 to 4; BadLength (after the
  // derivation, the key wiped) unless pk_out is 196 bytes.
  static AbiResult<VrfStatelessKey> derive(SuiteCode suite, const Seed32& master_seed, MutBytes pk_out);

  explicit VrfStatelessKey(std::unique_ptr<Impl> impl) noexcept;
  VrfStatelessKey(VrfStatelessKey&&) noexcept;
  VrfStatelessKey& operator=(VrfStatelessKey&&) noexcept;
  VrfStatelessKey(const VrfStatelessKey&) = delete;
  VrfStatelessKey& operator=(const VrfStatelessKey&) = delete;
  ~VrfStatelessKey();

  SuiteCode suite() const noexcept;
  const Impl& impl() const noexcept { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

namespace detail {
AbiResult<size_t> vrf_prove_stateless(const VrfStatelessKey& key, valtorimesca::budget::BudgetRef store, Bytes input,
                                      MutBytes proof_out);
}  // namespace detail

// A proof with the dedicated key, spending one budget unit through the
// store before the post-quantum signature is made.
template <valtorimesca::budget::StatelessBudgetStore B>
AbiResult<size_t> vrf_prove_stateless(const VrfStatelessKey& key, B& store, Bytes input, MutBytes proof_out) {
  return detail::vrf_prove_stateless(key, valtorimesca::budget::BudgetRef(store), input, proof_out);
}

}  // namespace valtorimesca_abi::vrf
