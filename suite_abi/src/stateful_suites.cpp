#include "valtorimesca_abi/stateful_suites.hpp"

#include <cstring>

#include "suite_dispatch.hpp"
#include "valtorimesca/stateful_composite.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca_abi::stateful_suites {

namespace {

using namespace valtorimesca;
using suite_dispatch::with_stateful_suite;
namespace sc = stateful_composite;

bool wrong_group(SuiteCode suite) { return !suites::is_stateful(suite); }

AbiResult<bool> wrong_entry() { return abi_fail(AbiError::WrongEntryPointForSuite); }

KeyIdentityBytes identity_of(SuiteCode suite, Bytes bundle) {
  return stateful::KeyIdentity::derive(suites::label_of(suite), bundle).bytes;
}

// Stored key: classical public key 32 | commitment 32. The classical key of
// the verify form always comes from the stored key, never from the signer.
template <class Verify>
bool verify_against_stored(Bytes stored_pk, Bytes pq_verify_key, Verify&& verify) {
  if (stored_pk.size() != sc::kStoredPublicKeyLen || pq_verify_key.size() != sc::kBundleLen) return false;
  if (!valtorimesca::shrincs::ShrincsScheme::verify_committed_key(stored_pk.subspan(sc::kClassicalPublicKeyLen),
                                                                  pq_verify_key))
    return false;
  std::array<uint8_t, sc::kPublicKeyLen> pk{};
  std::memcpy(pk.data(), stored_pk.data(), sc::kClassicalPublicKeyLen);
  std::memcpy(pk.data() + sc::kClassicalPublicKeyLen, pq_verify_key.data(), sc::kBundleLen);
  return verify(Bytes(pk));
}

}  // namespace

AbiStatus keygen_stateful_from_seed(SuiteCode suite, Bytes seed, uint32_t max_signatures, MutBytes sk_out,
                                    MutBytes pk_out) {
  if (wrong_group(suite)) return abi_fail(AbiError::WrongEntryPointForSuite);
  if (seed.size() != kSeedLen) return abi_fail(AbiError::BadLength);
  const zeroize::SecretArray<kSeedLen> master(seed.data());
  auto kp = with_stateful_suite(suite, [&](auto s) { return sc::keygen<decltype(s)>(master.span(), max_signatures); });
  if (!kp) return abi_fail(from_core(kp.error()));
  auto blob = kp->sk.export_blob();  // wiped, whole allocation, when released
  if (!blob) return abi_fail(from_core(blob.error()));
  fault::check(blob->size() == sc::kExportLen, "export blob of the wrong length");
  if (sk_out.size() != sc::kExportLen) return abi_fail(AbiError::BadLength);
  std::memcpy(sk_out.data(), blob->data(), sc::kExportLen);
  if (pk_out.size() != sc::kPublicKeyLen) return abi_fail(AbiError::BadLength);
  std::memcpy(pk_out.data(), kp->pk.bytes.data(), sc::kPublicKeyLen);
  return {};
}

AbiResult<KeyIdentityBytes> key_identity(SuiteCode suite, Bytes pk) {
  if (wrong_group(suite)) return abi_fail(AbiError::WrongEntryPointForSuite);
  if (pk.size() != sc::kPublicKeyLen) return abi_fail(AbiError::BadLength);
  return identity_of(suite, pk.subspan(sc::kClassicalPublicKeyLen));
}

AbiResult<KeyIdentityBytes> key_identity_from_secret_key(SuiteCode suite, Bytes blob) {
  if (wrong_group(suite)) return abi_fail(AbiError::WrongEntryPointForSuite);
  auto key = with_stateful_suite(suite, [&](auto s) { return sc::SecretKey::import <decltype(s)>(blob); });
  if (!key) return abi_fail(from_core(key.error()));
  return identity_of(suite, key->bundle);
}

AbiResult<size_t> stored_public_key(SuiteCode suite, Bytes pk, MutBytes out) {
  if (wrong_group(suite)) return abi_fail(AbiError::WrongEntryPointForSuite);
  if (out.size() != sc::kStoredPublicKeyLen || pk.size() != sc::kPublicKeyLen) return abi_fail(AbiError::BadLength);
  const sc::PublicKey whole{std::vector<uint8_t>(pk.begin(), pk.end())};
  auto stored = whole.stored_form();
  if (!stored) return abi_fail(from_core(stored.error()));
  std::memcpy(out.data(), stored->data(), sc::kStoredPublicKeyLen);
  return sc::kStoredPublicKeyLen;
}

bool verify_stateful_pk(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (wrong_group(suite) || pk.size() != sc::kPublicKeyLen) return false;
  return with_stateful_suite(suite, [&](auto s) { return sc::verify_stateful<decltype(s)>(pk, msg, ctx, sig); });
}

AbiResult<bool> verify_stateful(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (wrong_group(suite)) return wrong_entry();
  return verify_stateful_pk(suite, pk, msg, ctx, sig);
}

AbiResult<bool> verify_stateless(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (wrong_group(suite)) return wrong_entry();
  if (pk.size() != sc::kPublicKeyLen) return false;
  return with_stateful_suite(suite, [&](auto s) { return sc::verify_stateless<decltype(s)>(pk, msg, ctx, sig); });
}

AbiResult<bool> verify_with_stored_public_key_stateful(SuiteCode suite, Bytes stored_pk, Bytes pq_verify_key, Bytes msg,
                                                       Bytes ctx, Bytes sig) {
  if (wrong_group(suite)) return wrong_entry();
  return verify_against_stored(stored_pk, pq_verify_key,
                               [&](Bytes pk) { return verify_stateful_pk(suite, pk, msg, ctx, sig); });
}

AbiResult<bool> verify_with_stored_public_key_stateless(SuiteCode suite, Bytes stored_pk, Bytes pq_verify_key,
                                                        Bytes msg, Bytes ctx, Bytes sig) {
  if (wrong_group(suite)) return wrong_entry();
  return verify_against_stored(stored_pk, pq_verify_key, [&](Bytes pk) {
    return with_stateful_suite(suite, [&](auto s) { return sc::verify_stateless<decltype(s)>(pk, msg, ctx, sig); });
  });
}

namespace detail {

AbiStatus require_bound_key(stateful::JournalRef journal, const KeyIdentityBytes& identity) {
  const auto bound = journal.bound_key();
  if (!bound || bound->bytes != identity) return abi_fail(AbiError::JournalKeyMismatch);
  return {};
}

}  // namespace detail

AbiResult<size_t> write_sig(MutBytes out, Bytes sig) {
  if (out.size() < sig.size()) return abi_fail(AbiError::OutputBufferTooSmall);
  if (!sig.empty()) std::memcpy(out.data(), sig.data(), sig.size());
  return sig.size();
}

}  // namespace valtorimesca_abi::stateful_suites
