// The module's exception classes and the translation of suite-ABI error
// codes into them.
#pragma once

#include "py.hpp"
#include "valtorimesca_abi/error.hpp"

namespace valtorimesca::py::errors {

// The process-wide base class `_valtorimesca.ValtorimescaError`.
PyObject* base_class();

// The class raised for an error code (never nullptr: a failure to create a
// class is an internal fault).
PyObject* class_of(valtorimesca_abi::AbiError code);

// The class `_valtorimesca.StatefulKeyNotCloneableError`.
PyObject* not_cloneable_class();

// Sets the exception of `code`: an instance of its class whose only argument
// is the code's message. Returns nullptr, so an entry point can
// `return to_py_err(code);`.
PyObject* to_py_err(valtorimesca_abi::AbiError code);

// The refusals of a stateful secret key's copy, deep copy and pickling.
enum class Refusal { Copy, DeepCopy, Pickle };
const char* not_cloneable_message(Refusal what) noexcept;
PyObject* raise_not_cloneable(Refusal what);

}  // namespace valtorimesca::py::errors
