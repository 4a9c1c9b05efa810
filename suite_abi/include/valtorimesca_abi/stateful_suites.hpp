// Entry points of the two stateful suites, ED_SH and SR_SH, other than
// signing (handle.hpp) and the VRF (vrf.hpp): key generation into an export
// blob and a public key, key identities, the stored public key, verification
// on either path against a whole or a stored public key, and the check that
// a journal is bound to a key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "valtorimesca/stateful.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::stateful_suites {

using KeyIdentityBytes = std::array<uint8_t, kKeyIdentityLen>;

// Writes the 496-byte export blob into sk_out and the 196-byte verify-form
// public key into pk_out. The key is generated before either buffer is
// looked at; a wrong pk_out length is reported after sk_out was written.
AbiStatus keygen_stateful_from_seed(SuiteCode suite, Bytes seed, uint32_t max_signatures, MutBytes sk_out,
                                    MutBytes pk_out);

// The KeyIdentity of a 196-byte verify-form public key.
AbiResult<KeyIdentityBytes> key_identity(SuiteCode suite, Bytes pk);
// The KeyIdentity of a 496-byte export blob; runs the validating import.
AbiResult<KeyIdentityBytes> key_identity_from_secret_key(SuiteCode suite, Bytes blob);

// The 64-byte stored public key of a 196-byte public key; counts 64.
AbiResult<size_t> stored_public_key(SuiteCode suite, Bytes pk, MutBytes out);

// Guarded verdicts: WrongEntryPointForSuite for codes 1 to 4, else a plain
// yes or no.
AbiResult<bool> verify_stateful(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig);
AbiResult<bool> verify_stateless(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig);
AbiResult<bool> verify_with_stored_public_key_stateful(SuiteCode suite, Bytes stored_pk, Bytes pq_verify_key, Bytes msg,
                                                       Bytes ctx, Bytes sig);
AbiResult<bool> verify_with_stored_public_key_stateless(SuiteCode suite, Bytes stored_pk, Bytes pq_verify_key,
                                                        Bytes msg, Bytes ctx, Bytes sig);

// Stateful-path verification of one stateful suite (codes 5 and 6 only; the
// dispatcher of verify.hpp uses it).
bool verify_stateful_pk(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig);

namespace detail {
AbiStatus require_bound_key(valtorimesca::stateful::JournalRef journal, const KeyIdentityBytes& identity);
}  // namespace detail

// Asks the journal once for its bound identity: success when it equals
// `identity`, JournalKeyMismatch otherwise (unbound, another key, or a failed
// read). Never binds.
template <valtorimesca::stateful::LeafJournal J>
AbiStatus require_bound_key(J& journal, const KeyIdentityBytes& identity) {
  return detail::require_bound_key(valtorimesca::stateful::JournalRef(journal), identity);
}

// Copies a finished signature to the front of `out`: OutputBufferTooSmall
// when it does not fit, else its length.
AbiResult<size_t> write_sig(MutBytes out, Bytes sig);

}  // namespace valtorimesca_abi::stateful_suites
