#include "valtorimesca_abi/handle.hpp"

#include <cstring>

#include "suite_dispatch.hpp"
#include "valtorimesca/stateful_composite.hpp"

namespace valtorimesca_abi::handle {

namespace sc = valtorimesca::stateful_composite;
using suite_dispatch::with_stateful_suite;

// The suite and the key it owns; the key wipes itself when the handle goes.
struct StatefulKeyHandle::Impl {
  SuiteCode suite;
  sc::SecretKey key;
};

StatefulKeyHandle::StatefulKeyHandle(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
StatefulKeyHandle::StatefulKeyHandle(StatefulKeyHandle&&) noexcept = default;
StatefulKeyHandle& StatefulKeyHandle::operator=(StatefulKeyHandle&&) noexcept = default;
StatefulKeyHandle::~StatefulKeyHandle() = default;

SuiteCode StatefulKeyHandle::suite() const noexcept { return impl_->suite; }

AbiResult<StatefulKeyHandle> open(SuiteCode suite, Bytes blob) {
  if (!valtorimesca::suites::is_stateful(suite)) return abi_fail(AbiError::WrongEntryPointForSuite);
  if (blob.size() != sc::kExportLen) return abi_fail(AbiError::BadLength);
  auto key = with_stateful_suite(suite, [&](auto s) { return sc::SecretKey::import <decltype(s)>(blob); });
  if (!key) return abi_fail(from_core(key.error()));
  return StatefulKeyHandle(std::make_unique<StatefulKeyHandle::Impl>(StatefulKeyHandle::Impl{suite, std::move(*key)}));
}

AbiResult<size_t> export_blob(const StatefulKeyHandle& handle, MutBytes out) {
  if (out.size() != sc::kExportLen) return abi_fail(AbiError::BadLength);
  auto blob = handle.impl().key.export_blob();  // wiped, whole allocation, when released
  if (!blob) return abi_fail(from_core(blob.error()));
  fault::check(blob->size() == sc::kExportLen, "export blob of the wrong length");
  std::memcpy(out.data(), blob->data(), sc::kExportLen);
  return sc::kExportLen;
}

KeyIdentityBytes key_identity(const StatefulKeyHandle& handle) {
  return valtorimesca::stateful::KeyIdentity::derive(valtorimesca::suites::label_of(handle.suite()),
                                                     handle.impl().key.bundle)
      .bytes;
}

namespace detail {

namespace {
// Runs one of the core's signers, for the held key's suite. A key whose
// parts do not belong together (SecretKey::whole) is refused first, before
// the journal or the budget store is asked anything, so it spends nothing;
// the buffer is compared only once the spend is recorded.
template <class Impl, class Sign>
AbiResult<size_t> sign_held(Impl& impl, MutBytes sig_out, Sign&& sign) {
  if (!impl.key.whole) return abi_fail(AbiError::ComponentFailure);
  const auto signed_ = with_stateful_suite(impl.suite, [&](auto s) { return sign(s, impl.key); });
  if (!signed_) return abi_fail(from_sign(signed_.error()));
  return stateful_suites::write_sig(sig_out, *signed_);
}
}  // namespace

AbiResult<size_t> sign_stateful(StatefulKeyHandle& handle, valtorimesca::stateful::JournalRef journal, Bytes msg,
                                Bytes ctx, MutBytes sig_out) {
  return sign_held(handle.impl(), sig_out,
                   [&](auto s, sc::SecretKey& key) { return sc::sign_stateful<decltype(s)>(key, journal, msg, ctx); });
}

AbiResult<size_t> sign_stateless(const StatefulKeyHandle& handle, valtorimesca::budget::BudgetRef store, Bytes msg,
                                 Bytes ctx, MutBytes sig_out) {
  return sign_held(handle.impl(), sig_out, [&](auto s, const sc::SecretKey& key) {
    return sc::sign_stateless<decltype(s)>(key, store, msg, ctx);
  });
}

}  // namespace detail

}  // namespace valtorimesca_abi::handle
