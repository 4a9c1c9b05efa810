#include "args.hpp"

#include <string>

#include "fault/fault.hpp"
#include "suite.hpp"

namespace valtorimesca::py {
namespace {

std::string full_name(const Signature& sig) { return std::string(sig.name) + "()"; }

bool fail_type(const std::string& text) {
  PyErr_SetString(PyExc_TypeError, text.c_str());
  return false;
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string quoted_list(const std::string* names, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) {
      if (n > 2) out += ',';
      out += i == n - 1 ? " and " : " ";
    }
    out += '\'' + names[i] + '\'';
  }
  return out;
}

// UTF-8 text of a str, for error messages.
std::string text_of(PyObject* str) {
  Ref utf8(PyUnicode_AsEncodedString(str, "utf-8", "backslashreplace"));
  if (!utf8) {
    PyErr_Clear();
    return "?";
  }
  return PyBytes_AsString(utf8.get());
}

}  // namespace

void set_not_instance(PyObject* obj, const char* expected) {
  if (is_none(obj)) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
    return;
  }
  Ref qualname(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
  if (!qualname) return;
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", qualname.get(), expected);
}

bool parse_args(const Signature& sig, PyObject* args, PyObject* kwargs, std::span<PyObject*> out) {
  const size_t n = sig.params.size();
  for (auto& slot : out) slot = nullptr;
  const Py_ssize_t given = args == nullptr ? 0 : PyTuple_Size(args);
  if (given < 0) return false;
  if (static_cast<size_t>(given) > n) {
    const char* was = given == 1 ? "was" : "were";
    if (sig.required != n) {
      return fail_type(full_name(sig) + " takes from " + decimal(sig.required) + " to " + decimal(n) +
                       " positional arguments but " + decimal(given) + " " + was + " given");
    }
    return fail_type(full_name(sig) + " takes " + decimal(n) + " positional arguments but " + decimal(given) + " " +
                     was + " given");
  }
  for (Py_ssize_t i = 0; i < given; ++i) out[static_cast<size_t>(i)] = PyTuple_GetItem(args, i);

  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!PyUnicode_Check(key)) return fail_type("keywords must be strings");
      size_t index = n;
      for (size_t i = 0; i < n; ++i) {
        if (PyUnicode_CompareWithASCIIString(key, sig.params[i]) == 0) {
          index = i;
          break;
        }
      }
      if (index == n) {
        return fail_type(full_name(sig) + " got an unexpected keyword argument '" + text_of(key) + "'");
      }
      if (out[index] != nullptr) {
        return fail_type(full_name(sig) + " got multiple values for argument '" + sig.params[index] + "'");
      }
      out[index] = value;
    }
  }

  std::string missing[8];
  size_t n_missing = 0, total_missing = 0;
  for (size_t i = 0; i < sig.required; ++i) {
    if (out[i] != nullptr) continue;
    if (n_missing < std::size(missing)) missing[n_missing++] = sig.params[i];
    ++total_missing;
  }
  if (total_missing != 0) {
    return fail_type(full_name(sig) + " missing " + decimal(total_missing) + " required positional " +
                     (total_missing == 1 ? "argument" : "arguments") + ": " + quoted_list(missing, n_missing));
  }
  return true;
}

void add_param_note(const char* param) {
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
  PyErr_Fetch(&type, &value, &trace);
  if (type == nullptr) return;
  PyErr_NormalizeException(&type, &value, &trace);
  if (value != nullptr) {
    if (trace != nullptr) PyException_SetTraceback(value, trace);
    Ref method(PyUnicode_FromString("add_note"));
    Ref note(PyUnicode_FromFormat("while processing '%s'", param));
    if (method && note) {
      Ref r(PyObject_CallMethodObjArgs(value, method.get(), note.get(), nullptr));
    }
    PyErr_Clear();  // no add_note (before 3.11) or a failure to add: keep it as it was
  }
  PyErr_Restore(type, value, trace);
}

bool extract_suite(PyObject* obj, uint8_t* code, const char* param) {
  if (suite::code_of(obj, code)) return true;
  set_not_instance(obj, "Suite");
  add_param_note(param);
  return false;
}

bool read_i64(PyObject* obj, long long* value) {
  long v;
  if (PyLong_Check(obj)) {
    v = PyLong_AsLong(obj);
  } else {
    Ref index(PyNumber_Index(obj));
    if (!index) return false;
    v = PyLong_AsLong(index.get());
  }
  if (v == -1 && PyErr_Occurred() != nullptr) return false;
  *value = v;
  return true;
}

bool read_unsigned(PyObject* obj, long long max, long long* value) {
  if (!read_i64(obj, value)) return false;
  if (*value < 0 || *value > max) {
    PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
    return false;
  }
  return true;
}

namespace {

bool extract_unsigned(PyObject* obj, const char* param, long long max, long long* value) {
  if (read_unsigned(obj, max, value)) return true;
  add_param_note(param);
  return false;
}

}  // namespace

bool extract_u8(PyObject* obj, const char* param, uint8_t* value) {
  long long v = 0;
  if (!extract_unsigned(obj, param, 0xff, &v)) return false;
  *value = static_cast<uint8_t>(v);
  return true;
}

bool extract_u32(PyObject* obj, const char* param, uint32_t* value) {
  long long v = 0;
  if (!extract_unsigned(obj, param, 0xffffffffLL, &v)) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool extract_text(PyObject* obj, const char* param, PrivateCopy* out) {
  if (!PyUnicode_Check(obj)) {
    set_not_instance(obj, "str");
    add_param_note(param);
    return false;
  }
  Ref encoded(PyUnicode_AsUTF8String(obj));
  if (!encoded) {
    add_param_note(param);
    return false;
  }
  char* p = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(encoded.get(), &p, &size) < 0) return false;
  *out = PrivateCopy(reinterpret_cast<const uint8_t*>(p), static_cast<size_t>(size));
  // The encoded object is ours alone, except that the interpreter shares
  // the objects of length 0 and 1; wipe it before it is released.
  if (size > 1) zeroize::wipe(p, static_cast<size_t>(size));
  return true;
}

PyObject* new_bytes(std::span<const uint8_t> data) {
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(data.data()), static_cast<Py_ssize_t>(data.size()));
}

PyObject* result_bytes(std::span<const uint8_t> buffer, size_t written) {
  fault::check(written <= buffer.size(), "reported output length exceeds the output buffer");
  return new_bytes(buffer.first(written));
}

}  // namespace valtorimesca::py
