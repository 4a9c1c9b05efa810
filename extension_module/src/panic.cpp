#include "panic.hpp"

namespace valtorimesca::py {

PyObject* panic_exception_type() {
  // Created once with the interpreter lock held and kept for the process.
  static PyObject* type = nullptr;
  if (type == nullptr) {
    type = PyErr_NewExceptionWithDoc(
        "pyo3_runtime.PanicException",
        "The exception raised when native code hits an internal fault.",
        PyExc_BaseException, nullptr);
  }
  return type;
}

void raise_panic(const char* message) {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // the creation failure is already set
  PyErr_SetString(type, message);
}

}  // namespace valtorimesca::py
