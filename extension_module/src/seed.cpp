// Functions that make and divide master seeds: a recovery phrase into a
// master seed, and hard junctions.
#include "valtorimesca_abi/seed.hpp"

#include <optional>
#include <string_view>
#include <vector>

#include "args.hpp"
#include "errors.hpp"
#include "panic.hpp"
#include "registry.hpp"

namespace valtorimesca::py::seed {
namespace {

using valtorimesca_abi::AbiError;
using valtorimesca_abi::Seed32;

std::string_view text_of(const PrivateCopy& c) {
  return std::string_view(reinterpret_cast<const char*>(c.data()), c.size());
}

// A 32-byte seed argument copied into a wiped array; any other length
// raises BadLengthError.
bool extract_seed(PyObject* obj, zeroize::Wiped<Seed32>& dst) {
  PrivateCopy copy;
  if (!extract_bytes(obj, &copy)) return false;
  if (copy.size() != 32) {
    errors::to_py_err(AbiError::BadLength);
    return false;
  }
  std::copy(copy.data(), copy.data() + 32, dst.get().begin());
  return true;
}

constexpr const char* kMnemonicParams[] = {"phrase", "password"};
const Signature kMnemonic{"master_seed_from_mnemonic", kMnemonicParams, 1};

PyObject* master_seed_from_mnemonic(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(kMnemonic, args, kwargs, argv)) return nullptr;
    PrivateCopy phrase, password;
    if (!extract_text(argv[0], "phrase", &phrase)) return nullptr;
    // Not given, or None, means no password.
    const bool has_password = argv[1] != nullptr && !is_none(argv[1]);
    if (has_password && !extract_text(argv[1], "password", &password)) return nullptr;
    zeroize::Wiped<Seed32> out;
    auto r = valtorimesca_abi::seed::master_seed_from_mnemonic(
        text_of(phrase), has_password ? std::optional<std::string_view>(text_of(password)) : std::nullopt, out.get());
    if (!r) return errors::to_py_err(r.error());
    return new_bytes(out.get());
  });
}

constexpr const char* kJunctionParams[] = {"parent_master", "chain_code"};
const Signature kJunction{"derive_hard_junction", kJunctionParams};

PyObject* derive_hard_junction(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(kJunction, args, kwargs, argv)) return nullptr;
    zeroize::Wiped<Seed32> parent, chain, out;
    if (!extract_seed(argv[0], parent) || !extract_seed(argv[1], chain)) return nullptr;
    auto r = valtorimesca_abi::seed::derive_hard_junction(parent.get(), chain.get(), out.get());
    if (!r) return errors::to_py_err(r.error());
    return new_bytes(out.get());
  });
}

constexpr const char* kPathParams[] = {"parent_master", "chain_codes"};
const Signature kPath{"derive_hard_junction_path", kPathParams};

PyObject* derive_hard_junction_path(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(kPath, args, kwargs, argv)) return nullptr;
    zeroize::Wiped<Seed32> parent, out;
    if (!extract_seed(argv[0], parent)) return nullptr;

    Ref iter(PyObject_GetIter(argv[1]));
    if (!iter) return nullptr;
    // Chain codes are not the seed itself; the gathered path is still wiped,
    // and so is every buffer it outgrows.
    zeroize::SecretVector<Seed32> path;
    for (size_t index = 0;; ++index) {
      Ref item(PyIter_Next(iter.get()));
      if (!item) {
        if (PyErr_Occurred()) return nullptr;
        break;
      }
      PrivateCopy code;
      if (!extract_bytes(item.get(), &code)) return nullptr;
      if (code.size() != 32) {
        PyErr_Format(PyExc_ValueError, "chain code at index %zu must be %d bytes, got %zu", index, 32, code.size());
        return nullptr;
      }
      Seed32& slot = path.append();
      std::copy(code.data(), code.data() + 32, slot.begin());
    }
    auto r = valtorimesca_abi::seed::derive_hard_junction_path(parent.get(), path.span(), out.get());
    if (!r) return errors::to_py_err(r.error());
    return new_bytes(out.get());
  });
}

PyMethodDef defs[] = {
    {"master_seed_from_mnemonic", as_cfunction(&master_seed_from_mnemonic), METH_VARARGS | METH_KEYWORDS,
     "master_seed_from_mnemonic(phrase, password=None)\n--\n\n"
     "Turn an English BIP39 recovery phrase into a master seed.\n\n"
     "This is not standard BIP-39 seed derivation: PBKDF2-HMAC-SHA512 runs\n"
     "over the mnemonic's entropy, not over the phrase text, salted with\n"
     "\"mnemonic\" followed by the password, for 2048 iterations, and the\n"
     "first 32 bytes are the master seed. A stock BIP-39 library therefore\n"
     "gives a different seed, and so a different key. `password` is the\n"
     "empty string when None.\n\n"
     "The returned seed is a Python `bytes` object, which cannot be wiped;\n"
     "this function wipes only its own copy.\n\n"
     "# Errors\n\n"
     "- `InvalidMnemonicError`: if `phrase` is not a valid English BIP39\n"
     "  mnemonic (a wrong word count, a word outside the English list or\n"
     "  a bad checksum). The three are not distinguished: telling an\n"
     "  attacker which part of a guessed phrase was wrong narrows the\n"
     "  search."},
    {"derive_hard_junction", as_cfunction(&derive_hard_junction), METH_VARARGS | METH_KEYWORDS,
     "derive_hard_junction(parent_master, chain_code)\n--\n\n"
     "Derive a hard-junction child master seed.\n\n"
     "`[a, b]` in `derive_hard_junction_path` means\n"
     "`derive_hard_junction(derive_hard_junction(parent, a), b)`: the order\n"
     "is part of the derivation.\n\n"
     "Re-keygen hazard: derivation is deterministic, so the same parent and\n"
     "chain code reach the same child seed, and so the same stateful tree\n"
     "starting at leaf 1, on every host that computes it. Deriving one child\n"
     "on two hosts is the same failure as importing one key twice: both spend\n"
     "leaf 1 and the post-quantum security of that key is gone. Derive a\n"
     "child once, then persist it and restore it through the validating\n"
     "import. A key pool spanning several nodes gives each node its own\n"
     "distinct junction, and one junction is never re-derived on a second\n"
     "host.\n\n"
     "The returned seed holds secret material and cannot be wiped.\n\n"
     "# Errors\n\n"
     "- `BadLengthError`: if `parent_master` or `chain_code` is not 32 bytes.\n"
     "- `ComponentFailureError`: if the key derivation function fails."},
    {"derive_hard_junction_path", as_cfunction(&derive_hard_junction_path), METH_VARARGS | METH_KEYWORDS,
     "derive_hard_junction_path(parent_master, chain_codes)\n--\n\n"
     "Apply a sequence of chain codes in order, each child becoming the next\n"
     "parent.\n\n"
     "Every intermediate seed is wiped once the next is derived from it; only\n"
     "the final seed reaches the returned `bytes`.\n\n"
     "**An empty `chain_codes` returns `parent_master` unchanged**, the\n"
     "identity a path of no junctions should have. That is a trap for a\n"
     "caller building the path from parsed input: a parse that silently\n"
     "yielded no junctions hands back the parent key rather than failing. A\n"
     "caller that requires at least one junction must check for that itself.\n\n"
     "The re-keygen hazard of `derive_hard_junction` applies to every seed\n"
     "this returns.\n\n"
     "# Errors\n\n"
     "- `BadLengthError`: if `parent_master` is not 32 bytes.\n"
     "- `ValueError`: naming the offending index, if any element of\n"
     "  `chain_codes` is not 32 bytes.\n"
     "- `ComponentFailureError`: if the key derivation function fails."},
};

}  // namespace

Status register_(PyObject* module) {
  for (PyMethodDef& def : defs) {
    if (add_function(module, &def) < 0) return -1;
  }
  return 0;
}

}  // namespace valtorimesca::py::seed
