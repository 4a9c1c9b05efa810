// The hybrid VRF: proof lengths, proving from a stateless suite's secret key,
// verification and output bytes for every suite, and the class
// VrfStatelessKey, the in-memory VRF key of ED_SH and SR_SH.
#include "valtorimesca_abi/vrf.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "adapters.hpp"
#include "args.hpp"
#include "errors.hpp"
#include "once.hpp"
#include "panic.hpp"
#include "registry.hpp"

namespace valtorimesca::py::vrf {
namespace {

using valtorimesca_abi::SuiteCode;
namespace abi = valtorimesca_abi::vrf;

constexpr const char* kProofLenParams[] = {"suite"};
const Signature kProofLen{"vrf_proof_len", kProofLenParams};

PyObject* vrf_proof_len(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    if (!parse_suite(kProofLen, args, kwargs, &code)) return nullptr;
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
    uint8_t code;
    PrivateCopy in[2];
    if (!parse_suite_and_bytes(Deterministic ? kProveDet : kProve, args, kwargs, &code, in)) return nullptr;
    auto& [sk, input] = in;
    std::vector<uint8_t> proof(abi::vrf_proof_len(suite_of(code)), 0);
    const auto n = Deterministic ? abi::vrf_prove_deterministic(suite_of(code), sk.span(), input.span(), proof)
                                 : abi::vrf_prove(suite_of(code), sk.span(), input.span(), proof);
    return bytes_or_raise(n, proof);
  });
}

PyObject* vrf_prove(PyObject*, PyObject* args, PyObject* kwargs) { return prove<false>(args, kwargs); }
PyObject* vrf_prove_deterministic(PyObject*, PyObject* args, PyObject* kwargs) { return prove<true>(args, kwargs); }

constexpr const char* kVerifyParams[] = {"suite", "public_key", "input", "proof"};
const Signature kVerify{"vrf_verify", kVerifyParams};

PyObject* vrf_verify(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[3];
    if (!parse_suite_and_bytes(kVerify, args, kwargs, &code, in)) return nullptr;
    auto& [pk, input, proof] = in;
    return new_bool(abi::vrf_verify(suite_of(code), pk.span(), input.span(), proof.span()));
  });
}

constexpr const char* kMakeBytesParams[] = {"suite", "public_key", "input", "proof", "context"};
const Signature kMakeBytes{"vrf_make_bytes", kMakeBytesParams};

PyObject* vrf_make_bytes(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    uint8_t code;
    PrivateCopy in[4];
    if (!parse_suite_and_bytes(kMakeBytes, args, kwargs, &code, in)) return nullptr;
    auto& [pk, input, proof, context] = in;
    abi::Output out{};
    if (!ok_or_raise(abi::vrf_make_bytes(suite_of(code), pk.span(), input.span(), proof.span(), context.span(), out))) {
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
     "shorter); the other four are exact.\n\n"
     "# Errors\n\n"
     "None of its own: only a `suite` that is not a `Suite` raises\n"
     "`TypeError`."},
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
     "key or proof; an argument of another type still raises `TypeError`.\n\n"
     "# Errors\n\n"
     "None of its own: a malformed key or proof, a proof of another suite\n"
     "or a failing half answers `False`, never an exception."},
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

// ---- VrfStatelessKey ----

struct PyVrfKey {
  PyObject_HEAD abi::VrfStatelessKey* key;  // owned; released (and wiped) with the object
};

OnceObject key_type_slot;

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "cannot create 'valtorimesca.VrfStatelessKey' instances");
  return nullptr;
}

// Runs whenever the object is freed, often while an exception is on its way
// up: it must neither raise nor touch the exception state.
void dealloc(PyObject* self) {
  auto* obj = reinterpret_cast<PyVrfKey*>(self);
  delete std::exchange(obj->key, nullptr);  // wipes the key
  PyTypeObject* tp = Py_TYPE(self);
  reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free))(self);
  Py_DecRef(reinterpret_cast<PyObject*>(tp));
}

// A new key object taking over `key`.
PyObject* wrap(PyObject* cls, abi::VrfStatelessKey&& key) {
  auto* tp = reinterpret_cast<PyTypeObject*>(cls);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(tp, Py_tp_alloc));
  PyObject* obj = alloc(tp, 0);
  if (obj == nullptr) return nullptr;  // `key` is wiped by its owner
  reinterpret_cast<PyVrfKey*>(obj)->key = new abi::VrfStatelessKey(std::move(key));
  return obj;
}

constexpr const char* kDeriveParams[] = {"suite", "master"};
const Signature kDerive{"VrfStatelessKey.derive", kDeriveParams};

PyObject* derive(PyObject* cls, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(kDerive, args, kwargs, argv)) return nullptr;
    uint8_t code;
    if (!extract_suite(argv[0], &code)) return nullptr;
    const SuiteCode suite = suite_of(code);
    if (!valtorimesca::suites::is_stateful(suite)) {
      return errors::to_py_err(valtorimesca_abi::AbiError::WrongEntryPointForSuite);
    }
    // Both copies of the master seed are holders that wipe on release, so
    // every path out of here, a refusal or a fault included, wipes them.
    PrivateCopy master;
    if (!extract_bytes(argv[1], &master)) return nullptr;
    if (master.size() != valtorimesca_abi::kSeedLen) {
      return errors::to_py_err(valtorimesca_abi::AbiError::BadLength);
    }
    zeroize::Wiped<valtorimesca_abi::Seed32> seed;
    std::copy(master.data(), master.data() + master.size(), seed.get().begin());
    std::vector<uint8_t> pk(valtorimesca_abi::sizes(suite).public_key, 0);
    // The key generation runs on the private copies only.
    auto key = without_gil([&] { return abi::VrfStatelessKey::derive(suite, seed.get(), pk); });
    if (!key) return errors::to_py_err(key.error());
    Ref pk_obj(new_bytes(pk));
    if (!pk_obj) return nullptr;
    Ref key_obj(wrap(cls, std::move(key).value()));
    if (!key_obj) return nullptr;
    return PyTuple_Pack(2, key_obj.get(), pk_obj.get());
  });
}

constexpr const char* kProveKeyParams[] = {"budget", "input"};
const Signature kProveKey{"VrfStatelessKey.prove", kProveKeyParams};

PyObject* prove_with_key(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(kProveKey, args, kwargs, argv)) return nullptr;
    const abi::VrfStatelessKey& key = *reinterpret_cast<PyVrfKey*>(self)->key;
    PrivateCopy input;
    if (!extract_bytes(argv[1], &input)) return nullptr;
    std::vector<uint8_t> proof(abi::vrf_proof_len(key.suite()), 0);
    PyBudget budget(argv[0]);
    const auto n = abi::vrf_prove_stateless(key, budget, input.span(), proof);
    // The store's own exception outranks whatever the library answered.
    if (budget.raise_pending()) return nullptr;
    return bytes_or_raise(n, proof);
  });
}

PyMethodDef key_methods[] = {
    {"derive", as_cfunction(&derive), METH_VARARGS | METH_KEYWORDS | METH_CLASS,
     "derive($cls, suite, master)\n--\n\n"
     "Derive the dedicated VRF key of `suite` (`ED_SH` or `SR_SH`) from a\n"
     "32-byte master seed. Returns `(key, public_key)`: the new key and its\n"
     "196-byte public key, under which `vrf_verify` checks its proofs.\n\n"
     "This runs a real SHRINCS key generation, by far the slowest call of\n"
     "the module; the interpreter lock is released while it runs, so other\n"
     "Python threads keep going. The same master seed always gives the same\n"
     "key, and never the identity key `keygen_stateful_from_seed` makes from\n"
     "it.\n\n"
     "# Errors\n\n"
     "- `WrongEntryPointForSuiteError` for a suite other than `ED_SH` and\n"
     "  `SR_SH` (before `master` is looked at).\n"
     "- `BadLengthError` if `master` is not 32 bytes.\n"
     "- `ComponentFailureError` if the key derivation fails."},
    {"prove", as_cfunction(&prove_with_key), METH_VARARGS | METH_KEYWORDS,
     "prove($self, budget, input)\n--\n\n"
     "Evaluate the VRF on `input` and return the proof as `bytes`, spending\n"
     "one unit of this key's few-time budget from `budget`.\n\n"
     "`budget` is a durable store: `consumed(key: bytes) -> int | None`\n"
     "answers the count recorded under the 32-byte budget key (None when\n"
     "nothing is), and `record(key: bytes, count: int) -> None` stores the\n"
     "new count and must not return before it is durable; the same contract\n"
     "as `StatefulSecretKey.sign_stateless`. The count is recorded before\n"
     "the proof is made, so a proof lost afterwards still used its unit.\n"
     "Pass the same store on every call for a key: a fresh store restarts\n"
     "the count from empty, and the few-time bound is then never reached.\n\n"
     "# Errors\n\n"
     "- `StatelessBudgetExhaustedError` once 1048576 proofs are recorded:\n"
     "  nothing is recorded and no proof is made.\n"
     "- An exception raised by `consumed` or `record` is re-raised\n"
     "  unchanged, and no proof is returned (nothing is recorded after a\n"
     "  failed `consumed`); so is the `TypeError` or `OverflowError` of a\n"
     "  `consumed` answer that is neither None nor an integer from 0 to\n"
     "  2**64 - 1.\n"
     "- `ComponentFailureError` in the (practically impossible) case that the\n"
     "  message the post-quantum half would sign hashes to zero."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kKeyDoc =
    "A SHRINCS key dedicated to VRF evaluation, held in memory across calls.\n\n"
    "`ED_SH` and `SR_SH` prove through their post-quantum half's few-time\n"
    "stateless path, whose budget is shared with rotation and recovery; a key\n"
    "dedicated to VRF use stands apart from the identity key that carries\n"
    "that authority. `derive` derives it from the master seed under a label\n"
    "disjoint from the identity key's, so the two never collide.\n\n"
    "The key lives only in memory: it cannot be exported and cannot be\n"
    "rebuilt from bytes; `derive` is the only way to get one. Its secrets are\n"
    "wiped when the object is freed.";

PyType_Slot key_slots[] = {
    {Py_tp_doc, const_cast<char*>(kKeyDoc)},
    {Py_tp_new, reinterpret_cast<void*>(&no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
    {Py_tp_methods, key_methods},
    {0, nullptr},
};

PyType_Spec key_spec = {
    "valtorimesca.VrfStatelessKey", static_cast<int>(sizeof(PyVrfKey)), 0, Py_TPFLAGS_DEFAULT, key_slots,
};

PyObject* key_type() {
  return key_type_slot.get([] { return PyType_FromSpec(&key_spec); });
}

}  // namespace

Status register_(PyObject* module) {
  PyObject* cls = key_type();
  if (cls == nullptr) return -1;
  if (add(module, "VrfStatelessKey", cls) < 0) return -1;
  for (PyMethodDef& def : functions) {
    if (add_function(module, &def) < 0) return -1;
  }
  return 0;
}

}  // namespace valtorimesca::py::vrf
