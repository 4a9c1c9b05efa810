// Functions of the stateless suites: key generation from a master seed,
// hedged and deterministic signing, and verification for every suite.
#include <vector>

#include "args.hpp"
#include "errors.hpp"
#include "panic.hpp"
#include "registry.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateless_suites.hpp"
#include "valtorimesca_abi/verify.hpp"

namespace valtorimesca::py::stateless {
namespace {

using valtorimesca_abi::SuiteCode;

constexpr const char* kKeygenParams[] = {"suite", "seed"};
const Signature kKeygen{"keygen_from_seed", kKeygenParams};

PyObject* keygen_from_seed(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[1];
    if (!parse_suite_and_bytes(kKeygen, args, kwargs, &code, in)) return nullptr;
    const PrivateCopy& seed = in[0];
    const auto sizes = valtorimesca_abi::sizes(suite_of(code));
    PrivateCopy sk(sizes.secret_key);
    std::vector<uint8_t> pk(sizes.public_key, 0);
    auto r = valtorimesca_abi::stateless_suites::keygen_from_seed(suite_of(code), seed.span(), sk.span(), pk);
    if (!r) return errors::to_py_err(r.error());
    Ref sk_obj(new_bytes(sk.span()));
    if (!sk_obj) return nullptr;
    Ref pk_obj(new_bytes(pk));
    if (!pk_obj) return nullptr;
    return PyTuple_Pack(2, sk_obj.get(), pk_obj.get());
  });
}

constexpr const char* kSignParams[] = {"suite", "sk", "msg", "ctx"};
const Signature kSign{"sign", kSignParams};

PyObject* sign(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[3];
    if (!parse_suite_and_bytes(kSign, args, kwargs, &code, in)) return nullptr;
    auto& [sk, msg, ctx] = in;
    std::vector<uint8_t> sig(valtorimesca_abi::signature_len(suite_of(code)), 0);
    auto n = valtorimesca_abi::stateless_suites::sign(suite_of(code), sk.span(), msg.span(), ctx.span(), sig);
    return bytes_or_raise(n, sig);
  });
}

constexpr const char* kSignDetParams[] = {"suite", "sk", "msg", "ctx", "nonce"};
const Signature kSignDet{"sign_deterministic", kSignDetParams};

PyObject* sign_deterministic(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[4];
    if (!parse_suite_and_bytes(kSignDet, args, kwargs, &code, in)) return nullptr;
    auto& [sk, msg, ctx, nonce] = in;
    std::vector<uint8_t> sig(valtorimesca_abi::signature_len(suite_of(code)), 0);
    auto n = valtorimesca_abi::stateless_suites::sign_deterministic(suite_of(code), sk.span(), msg.span(), ctx.span(),
                                                                    nonce.span(), sig);
    return bytes_or_raise(n, sig);
  });
}

constexpr const char* kVerifyParams[] = {"suite", "pk", "msg", "ctx", "sig"};
const Signature kVerify{"verify", kVerifyParams};

PyObject* verify(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[4];
    if (!parse_suite_and_bytes(kVerify, args, kwargs, &code, in)) return nullptr;
    auto& [pk, msg, ctx, sig] = in;
    return new_bool(valtorimesca_abi::verify::verify(suite_of(code), pk.span(), msg.span(), ctx.span(), sig.span()));
  });
}

PyObject* profile_name(PyObject*, PyObject*) { return PyUnicode_FromString("shrincs-256s"); }

PyMethodDef defs[] = {
    {"keygen_from_seed", as_cfunction(&keygen_from_seed), METH_VARARGS | METH_KEYWORDS,
     "keygen_from_seed(suite, seed)\n--\n\n"
     "Derive a keypair for `suite` from a 32-byte master seed.\n"
     "Returns `(secret_key, public_key)` as `bytes`.\n\n"
     "The returned secret key is a Python `bytes` object, which cannot be\n"
     "wiped; this function wipes its own copies of the seed and of the secret\n"
     "key. Callers who need a secret key wiped on release should use\n"
     "`StatefulSecretKey`.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: for `ED_SH` or `SR_SH` (use\n"
     "  `keygen_stateful_from_seed` instead).\n"
     "- `BadLengthError`: if `seed` is not 32 bytes."},
    {"sign", as_cfunction(&sign), METH_VARARGS | METH_KEYWORDS,
     "sign(suite, sk, msg, ctx)\n--\n\n"
     "Hedged (randomized) signing for `suite`.\n"
     "Returns the signature as `bytes`.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: for `ED_SH` or `SR_SH` (use the\n"
     "  `StatefulSecretKey` methods instead).\n"
     "- `BadLengthError`: if `sk` is not exactly the suite's secret-key length."},
    {"sign_deterministic", as_cfunction(&sign_deterministic), METH_VARARGS | METH_KEYWORDS,
     "sign_deterministic(suite, sk, msg, ctx, nonce)\n--\n\n"
     "Deterministic signing for `suite`. Returns the signature as `bytes`.\n\n"
     "Not every suite's classical or post-quantum component honours `nonce`;\n"
     "see `valtorimesca::composite::sign_deterministic` for which do.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError`: for `ED_SH` or `SR_SH` (use the\n"
     "  `StatefulSecretKey` methods instead).\n"
     "- `BadLengthError`: if `sk` is not exactly the suite's secret-key length."},
    {"verify", as_cfunction(&verify), METH_VARARGS | METH_KEYWORDS,
     "verify(suite, pk, msg, ctx, sig)\n--\n\n"
     "Verify `sig` over `msg` under `ctx` for `suite`, against `pk`.\n\n"
     "Covers all six suites. For `ED_SH` and `SR_SH` it accepts only a\n"
     "signature made by `sign_stateful`, as `verify_stateful` does: the\n"
     "stateless path is reserved for rotation and recovery, and an ordinary\n"
     "message must not verify through it (use `verify_stateless` for a\n"
     "message the application chose to sign on that path).\n\n"
     "It returns `False`, and never raises, for a malformed `pk` or `sig`: a\n"
     "failed verification is never distinguished by cause."},
    {"profile_name", &profile_name, METH_NOARGS,
     "profile_name()\n--\n\n"
     "Names the SHRINCS profile this build links against, for example\n"
     "\"shrincs-256s\".\n\n"
     "Keys, signatures and verify keys of builds against different profiles\n"
     "are not interchangeable, so the two sides of an integration compare\n"
     "this string before trusting anything on the wire."},
};

}  // namespace

Status register_(PyObject* module) {
  for (PyMethodDef& def : defs) {
    if (add_function(module, &def) < 0) return -1;
  }
  return 0;
}

}  // namespace valtorimesca::py::stateless
