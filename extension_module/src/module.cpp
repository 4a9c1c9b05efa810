// The module definition, its one execution step and the add operation.
#include "panic.hpp"
#include "registry.hpp"
#include "suite.hpp"

namespace valtorimesca::py {

Status add(PyObject* module, PyObject* name, PyObject* object) {
  Ref all(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = Ref(PyList_New(0));
    if (!all) return -1;
    if (PyObject_SetAttrString(module, "__all__", all.get()) < 0) return -1;
  } else if (!PyList_Check(all.get())) {
    PyErr_SetString(PyExc_TypeError, "__all__ must be a list");
    return -1;
  }
  if (PyList_Append(all.get(), name) < 0) {
    PyErr_Clear();
    fault::raise("could not append __name__ to __all__");
  }
  return PyObject_SetAttr(module, name, object);
}

Status add(PyObject* module, const char* name, PyObject* object) {
  Ref text(PyUnicode_FromString(name));
  if (!text) return -1;
  return add(module, text.get(), object);
}

Status add_function(PyObject* module, PyMethodDef* def) {
  Ref module_name(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  Ref fn(PyCFunction_NewEx(def, module, module_name.get()));
  if (!fn) return -1;
  Ref name(PyObject_GetAttrString(fn.get(), "__name__"));
  if (!name) return -1;
  if (!PyUnicode_Check(name.get())) {
    PyErr_SetString(PyExc_TypeError, "__name__ must be a str");
    return -1;
  }
  return add(module, name.get(), fn.get());
}

namespace {

// The module body: every class, exception class and function, in the order
// of __all__.
Status _valtorimesca(PyObject* module) {
  if (suite::register_(module) < 0) return -1;
  if (errors::register_(module) < 0) return -1;
  if (stateless::register_(module) < 0) return -1;
  if (stateful::register_(module) < 0) return -1;
  if (seed::register_(module) < 0) return -1;
  if (vrf::register_(module) < 0) return -1;
  return 0;
}

int exec_module(PyObject* module) {
  return guarded(-1, [&]() -> int {
    if (!PyModule_Check(module)) {
      PyErr_SetString(PyExc_TypeError, "expected a module object");
      return -1;
    }
    return _valtorimesca(module);
  });
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT,
    "_valtorimesca",
    "The `_valtorimesca` native extension module.\n"
    "The `valtorimesca` Python package (see `python/valtorimesca/__init__`)\n"
    "re-exports this module's contents under a stable, documented name.",
    0,
    nullptr,
    slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace valtorimesca::py

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__valtorimesca() {
  return PyModuleDef_Init(&valtorimesca::py::definition);
}
