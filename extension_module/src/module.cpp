// The module definition and its one execution step.
#include "panic.hpp"
#include "registry.hpp"
#include "suite.hpp"

namespace valtorimesca::py {

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
