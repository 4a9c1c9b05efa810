// The hybrid VRF: proof lengths, proving from a stateless suite's secret key,
// verification and output bytes for every suite.
#include "args.hpp"
#include "errors.hpp"
#include "panic.hpp"
#include "registry.hpp"
#include "valtorimesca_abi/vrf.hpp"

namespace valtorimesca::py::vrf {
namespace {

using valtorimesca_abi::SuiteCode;
namespace abi = valtorimesca_abi::vrf;

SuiteCode suite_of(uint8_t code) { return static_cast<SuiteCode>(code); }

template <class F>
PyCFunction as_cfunction(F* f) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

constexpr const char* kProofLenParams[] = {"suite"};
const Signature kProofLen{"vrf_proof_len", kProofLenParams};

PyObject* vrf_proof_len(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[1];
    if (!parse_args(kProofLen, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    return PyLong_FromSize_t(abi::vrf_proof_len(suite_of(code)));
  });
}

constexpr const char* kProveParams[] = {"suite", "secret_key", "input"};
const Signature kProve{"vrf_prove", kProveParams};
const Signature kProveDet{"vrf_prove_deterministic", kProveParams};

// Both provers: the same arguments, a proof buffer of the suite's length.
template <bool Deterministic>
PyObject* prove(PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[3];
    if (!parse_args(Deterministic ? kProveDet : kProve, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    PrivateCopy sk, input;
    if (!extract_bytes(argv[1], &sk) || !extract_bytes(argv[2], &input)) return nullptr;
    PublicOutput proof(abi::vrf_proof_len(suite_of(code)), 0);
    const auto n = Deterministic ? abi::vrf_prove_deterministic(suite_of(code), sk.span(), input.span(), proof)
                                 : abi::vrf_prove(suite_of(code), sk.span(), input.span(), proof);
    return bytes_or_raise(n, proof);
  });
}

PyObject* vrf_prove(PyObject*, PyObject* args, PyObject* kwargs) { return prove<false>(args, kwargs); }
PyObject* vrf_prove_deterministic(PyObject*, PyObject* args, PyObject* kwargs) {
  return prove<true>(args, kwargs);
}

constexpr const char* kVerifyParams[] = {"suite", "public_key", "input", "proof"};
const Signature kVerify{"vrf_verify", kVerifyParams};

PyObject* vrf_verify(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[4];
    if (!parse_args(kVerify, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    PrivateCopy pk, input, proof;
    if (!extract_bytes(argv[1], &pk) || !extract_bytes(argv[2], &input) || !extract_bytes(argv[3], &proof)) {
      return nullptr;
    }
    return new_bool(abi::vrf_verify(suite_of(code), pk.span(), input.span(), proof.span()));
  });
}

constexpr const char* kMakeBytesParams[] = {"suite", "public_key", "input", "proof", "context"};
const Signature kMakeBytes{"vrf_make_bytes", kMakeBytesParams};

PyObject* vrf_make_bytes(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[5];
    if (!parse_args(kMakeBytes, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    PrivateCopy pk, input, proof, context;
    if (!extract_bytes(argv[1], &pk) || !extract_bytes(argv[2], &input) || !extract_bytes(argv[3], &proof) ||
        !extract_bytes(argv[4], &context)) {
      return nullptr;
    }
    abi::Output out{};
    if (!ok_or_raise(abi::vrf_make_bytes(suite_of(code), pk.span(), input.span(), proof.span(), context.span(),
                                         out))) {
      return nullptr;
    }
    return new_bytes(out);
  });
}

PyMethodDef functions[] = {
    {"vrf_proof_len", as_cfunction(&vrf_proof_len), METH_VARARGS | METH_KEYWORDS,
     "vrf_proof_len(suite)\n--\n\n"
     "Length in bytes of a VRF proof of `suite`: 2500 (`ED_ML_44`), 747\n"
     "(`ED_FN_512`), 2516 (`SR_ML_44`), 763 (`SR_FN_512`), 29172 (`ED_SH`) and\n"
     "29188 (`SR_SH`).\n\n"
     "The values of `ED_FN_512` and `SR_FN_512` are maxima (their proofs carry\n"
     "a length byte, and a proof of another suite's implementation may be\n"
     "shorter); the other four are exact."},
    {"vrf_prove", as_cfunction(&vrf_prove), METH_VARARGS | METH_KEYWORDS,
     "vrf_prove(suite, secret_key, input)\n--\n\n"
     "Evaluate the hybrid VRF of `suite` on `input` with a stateless suite's\n"
     "secret key and return the proof as `bytes`.\n\n"
     "The proof is the classical pre-output and proof followed by a\n"
     "post-quantum signature that binds the suite, the input and the\n"
     "pre-output. The sr25519 suites draw a fresh proof nonce from the\n"
     "operating system; everything else in the proof is deterministic. Two\n"
     "evaluations of one input under one key give the same `vrf_make_bytes`\n"
     "result, for every suite, whether they were made by `vrf_prove`,\n"
     "`vrf_prove_deterministic` or (for `ED_SH` and `SR_SH`)\n"
     "`VrfStatelessKey.prove`.\n\n"
     "`ED_SH` and `SR_SH` prove only through `VrfStatelessKey.prove`, because\n"
     "each of their proofs spends a unit of a few-time budget.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError` for `ED_SH` or `SR_SH`.\n"
     "- `BadLengthError` if `secret_key` is not exactly the suite's secret-key\n"
     "  length (2624 bytes for the ML-DSA-44 suites, 1409 for the FN-DSA-512\n"
     "  suites).\n"
     "- `ComponentFailureError` if a component refuses its half of the key or\n"
     "  fails."},
    {"vrf_prove_deterministic", as_cfunction(&vrf_prove_deterministic), METH_VARARGS | METH_KEYWORDS,
     "vrf_prove_deterministic(suite, secret_key, input)\n--\n\n"
     "As `vrf_prove`, with no randomness: the same key and input always give\n"
     "the same proof bytes. For the Ed25519 suites this is the proof\n"
     "`vrf_prove` makes; for the sr25519 suites the proof nonce is derived\n"
     "from the secret key, the suite and the input.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError` for `ED_SH` or `SR_SH` (use\n"
     "  `VrfStatelessKey.prove`).\n"
     "- `BadLengthError` if `secret_key` is not exactly the suite's secret-key\n"
     "  length (2624 or 1409 bytes).\n"
     "- `ComponentFailureError` if a component refuses its half of the key or\n"
     "  fails."},
    {"vrf_verify", as_cfunction(&vrf_verify), METH_VARARGS | METH_KEYWORDS,
     "vrf_verify(suite, public_key, input, proof)\n--\n\n"
     "Verify a VRF `proof` of `input` under `public_key` for any of the six\n"
     "suites (for `ED_SH` and `SR_SH` the 196-byte public key `derive`\n"
     "returns). True only when both the classical and the post-quantum half\n"
     "verify.\n\n"
     "Returns `False`, never raises, for a malformed `bytes` or `bytearray`\n"
     "key or proof; an argument of another type still raises `TypeError`."},
    {"vrf_make_bytes", as_cfunction(&vrf_make_bytes), METH_VARARGS | METH_KEYWORDS,
     "vrf_make_bytes(suite, public_key, input, proof, context)\n--\n\n"
     "Derive 32 output bytes from the pre-output at the start of `proof`.\n\n"
     "This does not verify the proof: it derives bytes from whatever\n"
     "pre-output it is given. Call `vrf_verify` on the same arguments first\n"
     "and use the bytes only when it returned `True`.\n\n"
     "`context` separates the uses of one proof: the same proof under\n"
     "b\"leadership\" and under b\"randomness\" gives unrelated bytes. Only the\n"
     "first 32 bytes of `public_key` and the proof's header (pre-output and\n"
     "classical proof) are read; longer inputs are accepted.\n\n"
     "# Errors\n\n"
     "- `BadLengthError` if `public_key` is shorter than 32 bytes or `proof`\n"
     "  shorter than its header (80 bytes for the Ed25519 suites, 96 for the\n"
     "  sr25519 suites).\n"
     "- `ComponentFailureError` if the classical component refuses the public\n"
     "  key or the pre-output (it does not decode or, for Ed25519, the key is\n"
     "  of small order)."},
};

}  // namespace

Status register_(PyObject* module) {
  for (PyMethodDef& def : functions) {
    if (add_function(module, &def) < 0) return -1;
  }
  return 0;
}

}  // namespace valtorimesca::py::vrf
