// The exception hierarchy under ValtorimescaError, created once per process.
#include "errors.hpp"

#include <array>
#include <iterator>
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

constexpr ClassRow kBaseRow{"_valtorimesca.ValtorimescaError", 0, "Base class for every exception this module raises."};
constexpr ClassRow kNotCloneableClass{
    "_valtorimesca.StatefulKeyNotCloneableError", 0,
    "A stateful (ED_SH/SR_SH) secret key cannot be copied, deep-copied or pickled: doing so "
    "would let the same one-time leaf be spent twice."};
// The class of a stateful key's refused copy is registered right after the
// class of this code.
constexpr uint8_t kNotCloneableFollows = valtorimesca_abi::code(AbiError::BudgetStoreFailed);

// One class per error code, named after its variant, in code order.
constexpr ClassRow kCodeRows[] = {
#define VT_CLASS_ROW(name, value, message, doc) {"_valtorimesca." #name "Error", value, doc},
    VALTORIMESCA_ABI_ERRORS(VT_CLASS_ROW)
#undef VT_CLASS_ROW
};

// In registration order; row 0 is the base class.
constexpr auto kClasses = [] {
  std::array<ClassRow, std::size(kCodeRows) + 2> rows{};
  size_t n = 0;
  rows[n++] = kBaseRow;
  for (const ClassRow& r : kCodeRows) {
    rows[n++] = r;
    if (r.code == kNotCloneableFollows) rows[n++] = kNotCloneableClass;
  }
  return rows;
}();
static_assert(kClasses.size() == 22 && kClasses.back().code != 0);

constexpr size_t kNotCloneableRow = [] {
  size_t i = 1;
  while (kClasses[i].code != 0) ++i;
  return i;
}();

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
    PyObject* made = PyErr_NewExceptionWithDoc(kClasses[row].qualified_name, kClasses[row].doc, base, nullptr);
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
