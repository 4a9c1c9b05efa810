// The exception hierarchy under ValtorimescaError, created once per process.
#include "errors.hpp"

#include <array>
#include <string>

#include "fault/fault.hpp"
#include "once.hpp"
#include "registry.hpp"

namespace valtorimesca::py::errors {
namespace {

using valtorimesca_abi::AbiError;

struct ClassRow {
  const char* qualified_name;
  uint8_t code;  // 0: no error code maps to the class
  const char* doc;
};

// In registration order; row 0 is the base class.
constexpr std::array<ClassRow, 22> kClasses{{
    {"_valtorimesca.ValtorimescaError", 0, "Base class for every exception this module raises."},
    {"_valtorimesca.BadLengthError", 1, "A byte string had the wrong length."},
    {"_valtorimesca.ContextTooLongError", 2, "The application context exceeded 255 bytes."},
    {"_valtorimesca.OutputBufferTooSmallError", 3,
     "An internal output buffer was too small for this signature."},
    {"_valtorimesca.BadPathSelectorError", 5,
     "A path-selected signature (ED_SH/SR_SH) carried an unknown selector."},
    {"_valtorimesca.LeafCountOutOfRangeError", 6,
     "A stateful signature's declared leaf count was out of range."},
    {"_valtorimesca.TrailingBytesError", 7, "Bytes remained past the length an encoding implied."},
    {"_valtorimesca.ComponentFailureError", 8,
     "A component algorithm (the classical or post-quantum primitive) failed."},
    {"_valtorimesca.BadRotationKindError", 9, "A rotation payload carried an unknown rotation kind."},
    {"_valtorimesca.DeltaLengthOutOfRangeError", 10,
     "A delta-encoded (ED_FN_512/SR_FN_512) signature's length was out of range."},
    {"_valtorimesca.LeavesExhaustedError", 11,
     "The key's one-time leaf budget is spent; rotate the key."},
    {"_valtorimesca.GrindAbortError", 12,
     "The signature-randomizer grind bound was reached for this key and message."},
    {"_valtorimesca.JournalFailedError", 13,
     "The leaf journal could not durably commit; nothing was spent."},
    {"_valtorimesca.SigningFailedError", 14, "Signing failed."},
    {"_valtorimesca.InvalidSuiteError", 15, "The suite code or name is not one of the six suites."},
    {"_valtorimesca.WrongEntryPointForSuiteError", 16,
     "This entry point does not accept this suite."},
    {"_valtorimesca.CountersDivergedError", 17,
     "The key counter and the leaf journal diverged; this key can sign no more, rotate it. "
     "Repairing the counters by hand reissues a spent leaf, which destroys the key's security."},
    {"_valtorimesca.JournalKeyMismatchError", 18,
     "This leaf journal does not belong to this key: it has never been bound to any key, or it "
     "is bound to a different one. Nothing was spent and the key is intact -- unlike "
     "CountersDivergedError, this is not a reason to rotate. Reopen the durable journal that "
     "belongs to this key, or, if there genuinely is none, bind one explicitly with adopt_key()."},
    {"_valtorimesca.StatelessBudgetExhaustedError", 19,
     "The few-time stateless budget for this key's stateless material is spent. Nothing was "
     "spent on the refused attempt. This is not the stateful path's leaf budget "
     "(LeavesExhaustedError) and it is not a quota to raise: exceeding it degrades the security "
     "assumption of the underlying few-time scheme. It clears only when a rotation actually "
     "changes the stateless key material."},
    {"_valtorimesca.BudgetStoreFailedError", 20,
     "The stateless budget store could not durably record the spend, so no signature was "
     "released. Nothing was recorded, so the same unit of budget is still available once the "
     "storage fault is repaired."},
    {"_valtorimesca.StatefulKeyNotCloneableError", 0,
     "A stateful (ED_SH/SR_SH) secret key cannot be copied, deep-copied or pickled: doing so "
     "would let the same one-time leaf be spent twice."},
    {"_valtorimesca.InvalidMnemonicError", 21,
     "The recovery phrase is not a valid English BIP39 mnemonic: a wrong word count, an unknown "
     "word, or a bad checksum. The three are not distinguished, because telling an attacker "
     "which part of a guessed phrase was wrong narrows the search."},
}};

constexpr size_t kNotCloneableRow = 20;

std::array<OnceObject, kClasses.size()> slots;

// Text of the pending exception, for the fault report; clears it.
std::string take_error_text() {
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
  PyErr_Fetch(&type, &value, &trace);
  std::string text = "<no exception>";
  PyObject* shown = value != nullptr ? value : type;
  if (shown != nullptr) {
    Ref r(PyObject_Repr(shown));
    if (r) {
      Ref utf8(PyUnicode_AsUTF8String(r.get()));
      if (utf8) text = PyBytes_AsString(utf8.get());
    }
    PyErr_Clear();
  }
  Py_DecRef(type);
  Py_DecRef(value);
  Py_DecRef(trace);
  return text;
}

PyObject* class_at(size_t row) {
  PyObject* cls = slots[row].get([row]() -> PyObject* {
    PyObject* base = row == 0 ? PyExc_Exception : class_at(0);
    PyObject* made = PyErr_NewExceptionWithDoc(kClasses[row].qualified_name, kClasses[row].doc,
                                               base, nullptr);
    if (made == nullptr) {
      fault::raise("Failed to initialize new exception type.: " + take_error_text());
    }
    return made;
  });
  fault::check(cls != nullptr, "exception class missing");
  return cls;
}

size_t row_of(AbiError code) {
  const uint8_t c = valtorimesca_abi::code(code);
  for (size_t i = 1; i < kClasses.size(); ++i) {
    if (kClasses[i].code == c) return i;
  }
  fault::raise("no exception class for error code " + decimal(c));
}

}  // namespace

PyObject* base_class() { return class_at(0); }

PyObject* class_of(AbiError code) { return class_at(row_of(code)); }

PyObject* not_cloneable_class() { return class_at(kNotCloneableRow); }

PyObject* to_py_err(AbiError code) {
  PyObject* cls = class_of(code);
  const std::string_view text = valtorimesca_abi::message(code);
  Ref message(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  if (!message) return nullptr;
  PyErr_SetObject(cls, message.get());
  return nullptr;
}

const char* not_cloneable_message(Refusal what) noexcept {
  switch (what) {
    case Refusal::Copy:
      return "a stateful secret key cannot be copied: use export() and "
             "load_stateful_secret_key() if you deliberately need a second copy of the key "
             "bytes, and track their leaf budgets as one";
    case Refusal::DeepCopy:
      return "a stateful secret key cannot be deep-copied: use export() and "
             "load_stateful_secret_key() if you deliberately need a second copy of the key "
             "bytes, and track their leaf budgets as one";
    case Refusal::Pickle:
      return "a stateful secret key cannot be pickled: use export() and "
             "load_stateful_secret_key() to persist the key bytes explicitly";
  }
  return "";
}

PyObject* raise_not_cloneable(Refusal what) {
  PyObject* cls = not_cloneable_class();
  Ref message(PyUnicode_FromString(not_cloneable_message(what)));
  if (!message) return nullptr;
  PyErr_SetObject(cls, message.get());
  return nullptr;
}

Status register_(PyObject* module) {
  for (size_t row = 0; row < kClasses.size(); ++row) {
    const char* short_name = kClasses[row].qualified_name + sizeof("_valtorimesca.") - 1;
    if (add(module, short_name, class_at(row)) < 0) return -1;
  }
  return 0;
}

}  // namespace valtorimesca::py::errors
