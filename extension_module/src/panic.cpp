#include "panic.hpp"

#include "once.hpp"

namespace valtorimesca::py {

PyObject* panic_exception_type() {
  static OnceObject slot;
  return slot.get([]() -> PyObject* {
    return PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException",
                                     "The exception raised when native code hits an internal fault.\n\n"
                                     "Like SystemExit, it derives from BaseException, so that handlers for\n"
                                     "Exception do not swallow it.",
                                     PyExc_BaseException, nullptr);
  });
}

void raise_panic(const char* message) {
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // the creation failure is already set
  Ref text(PyUnicode_FromString(message));
  if (!text) return;
  PyErr_SetObject(type, text.get());
}

}  // namespace valtorimesca::py
