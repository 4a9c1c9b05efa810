#include "py.hpp"

#include <cstdio>

#include "once.hpp"

namespace valtorimesca::py {

namespace {

PyObject* new_builtin(OnceObject& slot, const char* name) {
  PyObject* value = slot.get([name]() -> PyObject* {
    Ref builtins(PyImport_ImportModule("builtins"));
    if (!builtins) return nullptr;
    return PyObject_GetAttrString(builtins.get(), name);
  });
  if (value != nullptr) Py_IncRef(value);
  return value;
}

}  // namespace

PyObject* new_none() {
  static OnceObject slot;
  return new_builtin(slot, "None");
}

bool is_none(PyObject* obj) {
  Ref none(new_none());
  return obj == none.get();
}

PyObject* new_not_implemented() {
  static OnceObject slot;
  return new_builtin(slot, "NotImplemented");
}

unsigned long immutable_type_flag() {
  constexpr unsigned long kImmutableType = 1UL << 8;
  PyObject* hexversion = PySys_GetObject("hexversion");  // borrowed
  if (hexversion == nullptr) return 0;
  const long v = PyLong_AsLong(hexversion);
  if (v == -1 && PyErr_Occurred() != nullptr) {
    PyErr_Clear();
    return 0;
  }
  return v >= 0x030A0000 ? kImmutableType : 0;
}

std::string decimal(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llu", value);
  return text;
}

}  // namespace valtorimesca::py
