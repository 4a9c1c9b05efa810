// The Suite class: six shared values, compared and hashed as their integer
// codes, with no constructor, no ordering and no integer-index conversion.
#include "suite.hpp"

#include <array>

#include "args.hpp"
#include "errors.hpp"
#include "once.hpp"
#include "panic.hpp"
#include "registry.hpp"

namespace valtorimesca::py::suite {
namespace {

struct PySuite {
  PyObject_HEAD uint8_t code;
};

constexpr std::array<const char*, 6> kNames{"ED_ML_44", "ED_FN_512", "SR_ML_44", "SR_FN_512", "ED_SH", "SR_SH"};
constexpr std::array<const char*, 6> kReprs{"Suite.ED_ML_44",  "Suite.ED_FN_512", "Suite.SR_ML_44",
                                            "Suite.SR_FN_512", "Suite.ED_SH",     "Suite.SR_SH"};

OnceObject type_slot;
// Filled while the class is made, before the class is published.
std::array<PyObject*, 6> values{};

uint8_t code_unchecked(PyObject* self) { return reinterpret_cast<PySuite*>(self)->code; }

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "cannot create 'valtorimesca.Suite' instances");
  return nullptr;
}

PyObject* repr(PyObject* self) { return PyUnicode_FromString(kReprs[code_unchecked(self) - 1]); }

Py_hash_t hash(PyObject* self) { return static_cast<Py_hash_t>(code_unchecked(self)); }

PyObject* as_int(PyObject* self) { return PyLong_FromLong(code_unchecked(self)); }

PyObject* value_getter(PyObject* self, void*) { return as_int(self); }

PyObject* richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    long long other_code = 0;
    uint8_t suite_code = 0;
    if (code_of(other, &suite_code)) {
      other_code = suite_code;
    } else if (!read_i64(other, &other_code)) {
      PyErr_Clear();
      return new_not_implemented();
    }
    const bool equal = other_code == code_unchecked(self);
    switch (op) {
      case Py_EQ: return PyBool_FromLong(equal);
      case Py_NE: return PyBool_FromLong(!equal);
      default: return new_not_implemented();
    }
  });
}

// Pickling and copying hand back the shared value, found by its qualified
// name under the class.
PyObject* reduce(PyObject* self, PyObject*) { return PyUnicode_FromString(kReprs[code_unchecked(self) - 1]); }

constexpr const char* kFromCodeParams[] = {"code"};
const Signature kFromCode{"Suite.from_code", kFromCodeParams};

PyObject* from_code(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[1];
    if (!parse_args(kFromCode, args, kwargs, argv)) return nullptr;
    uint8_t code = 0;
    if (!extract_u8(argv[0], "code", &code)) return nullptr;
    if (code < 1 || code > 6) return errors::to_py_err(valtorimesca_abi::AbiError::InvalidSuite);
    PyObject* obj = object_of(code);
    if (obj == nullptr) return nullptr;
    Py_IncRef(obj);
    return obj;
  });
}

PyMethodDef methods[] = {
    {"from_code", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&from_code)),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_code(code)\n--\n\n"
     "Recover a `Suite` from the integer code used on the wire (`1` through `6`).\n\n"
     "# Errors\n\n"
     "`InvalidSuiteError` for any other code."},
    {"__reduce__", &reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "Pickling and copying support: a `Suite` reduces to its qualified name\n"
     "under the class (for example \"Suite.ED_SH\"), so `pickle` and `copy`\n"
     "give back the one shared object of its code."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef getset[] = {
    {"value", &value_getter, nullptr, "The integer suite code used on the wire and by the library's own interface.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "One of the six hybrid suites `valtorimesca` ships.\n\n"
    "`ED_ML_44` and `SR_ML_44` pair Ed25519 or sr25519 with ML-DSA-44, `ED_FN_512` and\n"
    "`SR_FN_512` pair them with FN-DSA-512, and `ED_SH` and `SR_SH` pair them with the\n"
    "hash-based SHRINCS. `ED_SH` and `SR_SH` secret keys are a Python type of their own\n"
    "(`StatefulSecretKey`) rather than the `bytes` of the other four suites.\n\n"
    "Frozen and hashable. Compares equal to its integer suite code. It is not a Python\n"
    "`IntEnum`: construct one from a stored code with `Suite.from_code`.";

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_new, reinterpret_cast<void*>(&no_constructor)},
    {Py_tp_repr, reinterpret_cast<void*>(&repr)},
    {Py_tp_str, reinterpret_cast<void*>(&repr)},
    {Py_tp_hash, reinterpret_cast<void*>(&hash)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&richcompare)},
    {Py_nb_int, reinterpret_cast<void*>(&as_int)},
    {Py_tp_methods, methods},
    {Py_tp_getset, getset},
    {0, nullptr},
};

PyType_Spec type_definition = {
    "valtorimesca.Suite", static_cast<int>(sizeof(PySuite)), 0, Py_TPFLAGS_DEFAULT, slots,
};

PyObject* make_type() {
  PyType_Spec definition = type_definition;
  const unsigned long immutable = immutable_type_flag();
  definition.flags |= immutable;
  Ref cls(PyType_FromSpec(&definition));
  if (!cls) return nullptr;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(reinterpret_cast<PyTypeObject*>(cls.get()), Py_tp_alloc));
  std::array<Ref, 6> made;
  for (size_t i = 0; i < made.size(); ++i) {
    made[i] = Ref(alloc(reinterpret_cast<PyTypeObject*>(cls.get()), 0));
    if (!made[i]) return nullptr;
    reinterpret_cast<PySuite*>(made[i].get())->code = static_cast<uint8_t>(i + 1);
    // An immutable class refuses the ordinary assignment, so the values go
    // straight into the new class's dictionary, before anyone has looked
    // the class up.
    Ref name(PyUnicode_FromString(kNames[i]));
    if (!name) return nullptr;
    const int set = immutable != 0 ? PyObject_GenericSetAttr(cls.get(), name.get(), made[i].get())
                                   : PyObject_SetAttr(cls.get(), name.get(), made[i].get());
    if (set < 0) return nullptr;
  }
  PyType_Modified(reinterpret_cast<PyTypeObject*>(cls.get()));
  // The class and its values live for the rest of the process.
  for (size_t i = 0; i < made.size(); ++i) values[i] = made[i].release();
  return cls.release();
}

}  // namespace

PyObject* type() { return type_slot.get(&make_type); }

PyObject* object_of(uint8_t code) {
  if (type() == nullptr) return nullptr;
  return values[code - 1];
}

bool code_of(PyObject* obj, uint8_t* code) {
  PyObject* cls = type_slot.peek();
  if (cls == nullptr || reinterpret_cast<PyObject*>(Py_TYPE(obj)) != cls) return false;
  *code = code_unchecked(obj);
  return true;
}

Status register_(PyObject* module) {
  PyObject* cls = type();
  if (cls == nullptr) return -1;
  return add(module, "Suite", cls);
}

}  // namespace valtorimesca::py::suite
