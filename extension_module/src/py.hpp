// Thin helpers over the limited C API. Reference counts go through
// Py_IncRef/Py_DecRef so that the module references no private symbol.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <utility>

namespace valtorimesca::py {

// An owned (strong) reference, released on destruction.
class Ref {
 public:
  Ref() = default;
  explicit Ref(PyObject* owned) noexcept : p_(owned) {}
  static Ref borrow(PyObject* borrowed) noexcept {
    Py_IncRef(borrowed);
    return Ref(borrowed);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      Py_DecRef(p_);
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~Ref() { Py_DecRef(p_); }

  PyObject* get() const noexcept { return p_; }
  PyObject* release() noexcept { return std::exchange(p_, nullptr); }
  explicit operator bool() const noexcept { return p_ != nullptr; }

 private:
  PyObject* p_ = nullptr;
};

// New reference to None, without touching the interpreter's private data
// symbols (looked up once among the builtins).
PyObject* new_none();
// Whether `obj` is None.
bool is_none(PyObject* obj);

// New reference to NotImplemented, looked up once among the builtins.
PyObject* new_not_implemented();

// Decimal text of a number (std::to_string would export a unique symbol
// from the module).
std::string decimal(unsigned long long value);

// The type flag that makes a class's attributes unassignable, when the
// running interpreter knows it (3.10 and later; the 3.9 headers lack the
// name), else 0.
unsigned long immutable_type_flag();

// A keyword-taking function as the PyCFunction a PyMethodDef holds (the
// interpreter calls it with the METH_VARARGS | METH_KEYWORDS signature).
template <class F>
PyCFunction as_cfunction(F* f) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

// Status of a registration step: 0 on success, -1 with an exception set.
using Status = int;

}  // namespace valtorimesca::py
