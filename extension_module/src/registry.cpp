// The add operation shared by every register function.
#include "registry.hpp"

#include "panic.hpp"

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

}  // namespace valtorimesca::py
