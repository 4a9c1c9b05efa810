// StatefulKeyHandle: the owner of one imported ED_SH or SR_SH secret key.
// Opened once from an export blob (the validating import runs then), it
// signs in place on both paths, exports the key with its current spent-leaf
// count and wipes the key when it is destroyed. It cannot be copied: two
// copies of one stateful key would spend the same leaf twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "valtorimesca/budget.hpp"
#include "valtorimesca/stateful.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

namespace valtorimesca_abi::handle {

using stateful_suites::KeyIdentityBytes;

class StatefulKeyHandle {
 public:
  struct Impl;

  explicit StatefulKeyHandle(std::unique_ptr<Impl> impl) noexcept;
  StatefulKeyHandle(StatefulKeyHandle&&) noexcept;
  StatefulKeyHandle& operator=(StatefulKeyHandle&&) noexcept;
  StatefulKeyHandle(const StatefulKeyHandle&) = delete;
  StatefulKeyHandle& operator=(const StatefulKeyHandle&) = delete;
  ~StatefulKeyHandle();  // wipes the key

  // ED_SH or SR_SH.
  SuiteCode suite() const noexcept;
  Impl& impl() noexcept { return *impl_; }
  const Impl& impl() const noexcept { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// WrongEntryPointForSuite for codes 1 to 4, BadLength for a blob other than
// 496 bytes, ComponentFailure for a blob that does not import.
AbiResult<StatefulKeyHandle> open(SuiteCode suite, Bytes blob);

// The current 496-byte export blob; BadLength unless out is 496 bytes.
AbiResult<size_t> export_blob(const StatefulKeyHandle& handle, MutBytes out);

KeyIdentityBytes key_identity(const StatefulKeyHandle& handle);

namespace detail {
AbiResult<size_t> sign_stateful(StatefulKeyHandle& handle, valtorimesca::stateful::JournalRef journal, Bytes msg,
                                Bytes ctx, MutBytes sig_out);
AbiResult<size_t> sign_stateless(const StatefulKeyHandle& handle, valtorimesca::budget::BudgetRef store, Bytes msg,
                                 Bytes ctx, MutBytes sig_out);
}  // namespace detail

// Stateful-path signing, spending one leaf through the journal. The buffer
// is compared with the signature only after the leaf is committed. A key
// whose blob did not hold together (its bundle not its engine key's, or an
// ED_SH seed that does not derive its public half) is refused with
// ComponentFailure before the journal is asked anything; the same holds for
// few-time signing and the budget store.
template <valtorimesca::stateful::LeafJournal J>
AbiResult<size_t> sign_stateful_with_handle(StatefulKeyHandle& handle, J& journal, Bytes msg, Bytes ctx,
                                            MutBytes sig_out) {
  return detail::sign_stateful(handle, valtorimesca::stateful::JournalRef(journal), msg, ctx, sig_out);
}

// Few-time signing, spending one budget unit through the store; the key is
// not changed.
template <valtorimesca::budget::StatelessBudgetStore B>
AbiResult<size_t> sign_stateless_with_handle(const StatefulKeyHandle& handle, B& store, Bytes msg, Bytes ctx,
                                             MutBytes sig_out) {
  return detail::sign_stateless(handle, valtorimesca::budget::BudgetRef(store), msg, ctx, sig_out);
}

}  // namespace valtorimesca_abi::handle
