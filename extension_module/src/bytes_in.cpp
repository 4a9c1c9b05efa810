#include "bytes_in.hpp"

namespace valtorimesca::py {

bool extract_bytes(PyObject* obj, PrivateCopy* out) {
  const uint8_t* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_Check(obj)) {
    char* p = nullptr;
    if (PyBytes_AsStringAndSize(obj, &p, &size) < 0) return false;
    data = reinterpret_cast<const uint8_t*>(p);
  } else if (PyByteArray_Check(obj)) {
    data = reinterpret_cast<const uint8_t*>(PyByteArray_AsString(obj));
    size = PyByteArray_Size(obj);
    if (data == nullptr || size < 0) return false;
  } else {
    PyErr_SetString(PyExc_TypeError, "expected bytes or bytearray, got an object of a different type");
    return false;
  }
  *out = PrivateCopy(data, static_cast<size_t>(size));
  return true;
}

}  // namespace valtorimesca::py
