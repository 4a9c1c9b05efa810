// Functions of the stateful suites ED_SH and SR_SH: key objects from a seed
// or an export blob, journal binding, key identities, stored public keys and
// verification on either path.
#include <vector>

#include "adapters.hpp"
#include "args.hpp"
#include "errors.hpp"
#include "panic.hpp"
#include "registry.hpp"
#include "stateful_key.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

namespace valtorimesca::py::stateful {
namespace {

namespace abi = valtorimesca_abi::stateful_suites;
namespace handle = valtorimesca_abi::handle;
using abi::KeyIdentityBytes;
using valtorimesca_abi::AbiError;
using valtorimesca_abi::SuiteCode;

// Binds `journal` to `identity` unless it already carries it. The journal
// is read once; bind_key is called only when that read answered None, so a
// failing read never replaces a binding. False with an exception set on a
// refusal: the journal's own exception, or JournalKeyMismatchError.
bool adopt(PyObject* journal, const KeyIdentityBytes& identity) {
  PyJournal adapter(journal);
  const std::optional<valtorimesca::stateful::KeyIdentity> bound = adapter.bound_key();
  if (adapter.raise_pending()) return false;
  if (bound.has_value()) {
    if (bound->bytes == identity) return true;
    errors::to_py_err(AbiError::JournalKeyMismatch);
    return false;
  }
  adapter.bind_key(valtorimesca::stateful::KeyIdentity{identity});
  return !adapter.raise_pending();
}

constexpr const char* kKeygenParams[] = {"suite", "seed", "max_stateful_signatures", "journal", "budget"};
const Signature kKeygen{"keygen_stateful_from_seed", kKeygenParams};

PyObject* keygen_stateful_from_seed(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[5];
    if (!parse_args(kKeygen, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    uint32_t capacity;
    if (!extract_u32(argv[2], "max_stateful_signatures", &capacity)) return nullptr;
    PrivateCopy seed;
    if (!extract_bytes(argv[1], &seed)) return nullptr;
    const auto sizes = valtorimesca_abi::sizes(suite_of(code));
    PrivateCopy blob(sizes.secret_key);
    std::vector<uint8_t> pk(sizes.public_key, 0);
    if (!ok_or_raise(abi::keygen_stateful_from_seed(suite_of(code), seed.span(), capacity, blob.span(), pk))) {
      return nullptr;
    }
    auto identity = abi::key_identity(suite_of(code), pk);
    if (!identity) return errors::to_py_err(identity.error());
    if (!adopt(argv[3], *identity)) return nullptr;
    auto opened = handle::open(suite_of(code), blob.span());
    if (!opened) return errors::to_py_err(opened.error());
    Ref key(stateful_key::make(std::move(*opened), argv[3], argv[4], code));
    if (!key) return nullptr;
    Ref pk_obj(new_bytes(pk));
    if (!pk_obj) return nullptr;
    return PyTuple_Pack(2, key.get(), pk_obj.get());
  });
}

constexpr const char* kLoadParams[] = {"suite", "blob", "journal", "budget"};
const Signature kLoad{"load_stateful_secret_key", kLoadParams};

PyObject* load_stateful_secret_key(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[4];
    if (!parse_args(kLoad, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    PrivateCopy blob;
    if (!extract_bytes(argv[1], &blob)) return nullptr;
    auto opened = handle::open(suite_of(code), blob.span());
    if (!opened) return errors::to_py_err(opened.error());
    const KeyIdentityBytes identity = handle::key_identity(*opened);
    PyJournal journal(argv[2]);
    const auto bound = abi::require_bound_key(journal, identity);
    if (journal.raise_pending()) return nullptr;
    if (!ok_or_raise(bound)) return nullptr;
    return stateful_key::make(std::move(*opened), argv[2], argv[3], code);
  });
}

using IdentityOf = valtorimesca_abi::AbiResult<KeyIdentityBytes> (*)(SuiteCode, valtorimesca_abi::Bytes);

// key_identity and key_identity_from_secret_key: a suite and one byte
// argument in, 32 bytes out.
template <const Signature& sig, IdentityOf identity_of>
PyObject* identity(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[1];
    if (!parse_suite_and_bytes(sig, args, kwargs, &code, in)) return nullptr;
    auto id = identity_of(suite_of(code), in[0].span());
    if (!id) return errors::to_py_err(id.error());
    return new_bytes(*id);
  });
}

constexpr const char* kKeyIdentityParams[] = {"suite", "public_key"};
const Signature kKeyIdentity{"key_identity", kKeyIdentityParams};
constexpr const char* kKeyIdentityFromSkParams[] = {"suite", "blob"};
const Signature kKeyIdentityFromSk{"key_identity_from_secret_key", kKeyIdentityFromSkParams};

constexpr const char* kAdoptParams[] = {"journal", "identity"};
const Signature kAdopt{"adopt_key", kAdoptParams};

PyObject* adopt_key(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(kAdopt, args, kwargs, argv)) return nullptr;
    PrivateCopy identity_copy;
    if (!extract_bytes(argv[1], &identity_copy)) return nullptr;
    if (identity_copy.size() != valtorimesca_abi::kKeyIdentityLen) {
      return errors::to_py_err(AbiError::BadLength);
    }
    KeyIdentityBytes identity{};
    std::copy(identity_copy.data(), identity_copy.data() + identity.size(), identity.begin());
    if (!adopt(argv[0], identity)) return nullptr;
    return new_none();
  });
}

constexpr const char* kStoredLenParams[] = {"suite"};
const Signature kStoredLen{"stored_public_key_len", kStoredLenParams};

PyObject* stored_public_key_len(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    if (!parse_suite(kStoredLen, args, kwargs, &code)) return nullptr;
    return PyLong_FromSize_t(valtorimesca_abi::sizes(suite_of(code)).stored_public_key);
  });
}

constexpr const char* kStoredParams[] = {"suite", "public_key"};
const Signature kStored{"stored_public_key", kStoredParams};

PyObject* stored_public_key(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[1];
    if (!parse_suite_and_bytes(kStored, args, kwargs, &code, in)) return nullptr;
    std::vector<uint8_t> out(valtorimesca_abi::sizes(suite_of(code)).stored_public_key, 0);
    return bytes_or_raise(abi::stored_public_key(suite_of(code), in[0].span(), out), out);
  });
}

using WholeKeyVerifier = valtorimesca_abi::AbiResult<bool> (*)(SuiteCode, valtorimesca_abi::Bytes,
                                                               valtorimesca_abi::Bytes, valtorimesca_abi::Bytes,
                                                               valtorimesca_abi::Bytes);
using StoredKeyVerifier = valtorimesca_abi::AbiResult<bool> (*)(SuiteCode, valtorimesca_abi::Bytes,
                                                                valtorimesca_abi::Bytes, valtorimesca_abi::Bytes,
                                                                valtorimesca_abi::Bytes, valtorimesca_abi::Bytes);

PyObject* verdict(const valtorimesca_abi::AbiResult<bool>& r) {
  if (!r) return errors::to_py_err(r.error());
  return new_bool(*r);
}

constexpr const char* kVerifyParams[] = {"suite", "pk", "msg", "ctx", "sig"};

template <const Signature& sig, WholeKeyVerifier verifier>
PyObject* verify_whole(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy copies[4];
    if (!parse_suite_and_bytes(sig, args, kwargs, &code, copies)) return nullptr;
    return verdict(verifier(suite_of(code), copies[0].span(), copies[1].span(), copies[2].span(), copies[3].span()));
  });
}

constexpr const char* kVerifyStoredParams[] = {"suite", "stored_public_key", "pq_verify_key", "msg", "ctx", "sig"};

template <const Signature& sig, StoredKeyVerifier verifier>
PyObject* verify_stored(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy copies[5];
    if (!parse_suite_and_bytes(sig, args, kwargs, &code, copies)) return nullptr;
    return verdict(verifier(suite_of(code), copies[0].span(), copies[1].span(), copies[2].span(), copies[3].span(),
                            copies[4].span()));
  });
}

const Signature kVerifyStateful{"verify_stateful", kVerifyParams};
const Signature kVerifyStateless{"verify_stateless", kVerifyParams};
const Signature kVerifyStoredStateful{"verify_with_stored_public_key_stateful", kVerifyStoredParams};
const Signature kVerifyStoredStateless{"verify_with_stored_public_key_stateless", kVerifyStoredParams};

PyMethodDef defs[] = {
    {"keygen_stateful_from_seed", as_cfunction(&keygen_stateful_from_seed), METH_VARARGS | METH_KEYWORDS,
     "keygen_stateful_from_seed(suite, seed, max_stateful_signatures, journal, budget)\n--\n\n"
     "Generate an `ED_SH` or `SR_SH` key from a 32-byte master seed with room\n"
     "for `max_stateful_signatures` stateful signatures (1 to 4096), bind\n"
     "`journal` to it and return `(key, public_key)`: a `StatefulSecretKey`\n"
     "and the 196-byte public key as `bytes`.\n\n"
     "An unbound journal is bound to the new key's identity; one that already\n"
     "carries it is left alone. `budget` is kept by the key object for\n"
     "`sign_stateless`, not called here. The export blob made on the way is\n"
     "wiped.\n\n"
     "Re-keygen hazard: the same seed gives the same key, starting again at\n"
     "leaf 1. Generate a key once, persist `export()` and its journal, and\n"
     "later reopen them with `load_stateful_secret_key`; never regenerate a\n"
     "used key with a fresh journal.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "- `BadLengthError`: `seed` is not 32 bytes.\n"
     "- `ComponentFailureError`: `max_stateful_signatures` is 0 or above 4096.\n"
     "- `JournalKeyMismatchError`: `journal` is bound to another key.\n"
     "- Whatever the journal's `bound_key` or `bind_key` raises, or the error\n"
     "  converting the `bound_key` answer, unchanged.\n"
     "- OverflowError or TypeError: `max_stateful_signatures` is not an\n"
     "  integer from 0 to 2**32 - 1 (checked before `seed`)."},
    {"load_stateful_secret_key", as_cfunction(&load_stateful_secret_key), METH_VARARGS | METH_KEYWORDS,
     "load_stateful_secret_key(suite, blob, journal, budget)\n--\n\n"
     "Reopen a key from its 496-byte export blob, with the journal that is\n"
     "already bound to it and its budget store. Returns a `StatefulSecretKey`.\n\n"
     "The blob is validated first (roots and commitment recomputed); only then\n"
     "is the journal asked `bound_key()`, which must answer this key's\n"
     "identity. The journal is never bound here: bind a journal explicitly\n"
     "with `adopt_key` if there genuinely is none. A journal that is this\n"
     "key's own but out of step with the blob is refused at the first\n"
     "`sign_stateful` with `CountersDivergedError`.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "- `BadLengthError`: `blob` is not 496 bytes.\n"
     "- `ComponentFailureError`: `blob` is not a valid key (its engine key\n"
     "  does not validate, or its spent-leaf count disagrees with it); the\n"
     "  journal is not called.\n"
     "- `JournalKeyMismatchError`: `journal` is unbound or bound to another\n"
     "  key.\n"
     "- Whatever the journal's `bound_key` raises, or the error converting\n"
     "  its answer, unchanged."},
    {"key_identity", as_cfunction(&identity<kKeyIdentity, &abi::key_identity>), METH_VARARGS | METH_KEYWORDS,
     "key_identity(suite, public_key)\n--\n\n"
     "The 32-byte identity a leaf journal is bound to, from the key's 196-byte\n"
     "public key.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "- `BadLengthError`: `public_key` is not 196 bytes."},
    {"key_identity_from_secret_key", as_cfunction(&identity<kKeyIdentityFromSk, &abi::key_identity_from_secret_key>),
     METH_VARARGS | METH_KEYWORDS,
     "key_identity_from_secret_key(suite, blob)\n--\n\n"
     "The 32-byte journal identity of the key in a 496-byte export blob; the\n"
     "same bytes as `key_identity` of its public key. Validates the blob as\n"
     "`load_stateful_secret_key` does, so it is as costly.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "- `BadLengthError`: `blob` is not 496 bytes.\n"
     "- `ComponentFailureError`: `blob` is not a valid key (its engine key\n"
     "  does not validate, or its spent-leaf count disagrees with it)."},
    {"adopt_key", as_cfunction(&adopt_key), METH_VARARGS | METH_KEYWORDS,
     "adopt_key(journal, identity)\n--\n\n"
     "Bind `journal` explicitly to the key of the 32-byte `identity`.\n\n"
     "The journal is asked `bound_key()` once: an unbound journal is then\n"
     "bound with `bind_key(identity)`, one already bound to `identity` is left\n"
     "alone. Binding a fresh journal to a key that has signed before makes the\n"
     "key's next signature refuse with `CountersDivergedError` unless the\n"
     "journal also knows the spent count.\n\n"
     "# Errors\n\n"
     "- `BadLengthError`: `identity` is not 32 bytes (the journal is not\n"
     "  called).\n"
     "- `JournalKeyMismatchError`: the journal is bound to another key.\n"
     "- Whatever the journal's `bound_key` or `bind_key` raises, or the error\n"
     "  converting the `bound_key` answer, unchanged; after a failed read\n"
     "  `bind_key` is never called."},
    {"stored_public_key_len", as_cfunction(&stored_public_key_len), METH_VARARGS | METH_KEYWORDS,
     "stored_public_key_len(suite)\n--\n\n"
     "Length in bytes of the suite's stored public key: 64 for `ED_SH` and\n"
     "`SR_SH`, the whole public key's length for the other suites. It raises\n"
     "nothing for any `Suite`."},
    {"stored_public_key", as_cfunction(&stored_public_key), METH_VARARGS | METH_KEYWORDS,
     "stored_public_key(suite, public_key)\n--\n\n"
     "The 64-byte stored form of a 196-byte public key: the classical public\n"
     "key and the commitment to the post-quantum verify key. A verifier keeps\n"
     "only this, and the signer supplies the 164-byte verify key bundle (the\n"
     "public key's bytes 32 to 196) with each signature.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "- `BadLengthError`: `public_key` is not 196 bytes."},
    {"verify_stateful", as_cfunction(&verify_whole<kVerifyStateful, &abi::verify_stateful>),
     METH_VARARGS | METH_KEYWORDS,
     "verify_stateful(suite, pk, msg, ctx, sig)\n--\n\n"
     "Verify a stateful-path signature (`sign_stateful`) against the whole\n"
     "196-byte public key. A few-time signature answers False.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "Malformed keys and signatures answer False, never raise."},
    {"verify_stateless", as_cfunction(&verify_whole<kVerifyStateless, &abi::verify_stateless>),
     METH_VARARGS | METH_KEYWORDS,
     "verify_stateless(suite, pk, msg, ctx, sig)\n--\n\n"
     "Verify a few-time signature (`sign_stateless`) against the whole\n"
     "196-byte public key. A stateful-path signature answers False.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "Malformed keys and signatures answer False, never raise."},
    {"verify_with_stored_public_key_stateful",
     as_cfunction(&verify_stored<kVerifyStoredStateful, &abi::verify_with_stored_public_key_stateful>),
     METH_VARARGS | METH_KEYWORDS,
     "verify_with_stored_public_key_stateful(suite, stored_public_key, pq_verify_key, msg, ctx, sig)\n--\n\n"
     "Verify a stateful-path signature against a 64-byte stored public key\n"
     "and the signer-supplied 164-byte `pq_verify_key`, which must match the\n"
     "stored commitment. The classical key always comes from the stored key.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "Malformed inputs, a verify key of another key and bad signatures answer\n"
     "False, never raise."},
    {"verify_with_stored_public_key_stateless",
     as_cfunction(&verify_stored<kVerifyStoredStateless, &abi::verify_with_stored_public_key_stateless>),
     METH_VARARGS | METH_KEYWORDS,
     "verify_with_stored_public_key_stateless(suite, stored_public_key, pq_verify_key, msg, ctx, sig)\n--\n\n"
     "Verify a few-time signature against a 64-byte stored public key and the\n"
     "signer-supplied 164-byte `pq_verify_key`, which must match the stored\n"
     "commitment.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: a stateless suite.\n"
     "Malformed inputs, a verify key of another key and bad signatures answer\n"
     "False, never raise."},
};

}  // namespace

Status register_(PyObject* module) {
  if (stateful_key::register_(module) < 0) return -1;
  for (PyMethodDef& def : defs) {
    if (add_function(module, &def) < 0) return -1;
  }
  return 0;
}

}  // namespace valtorimesca::py::stateful
