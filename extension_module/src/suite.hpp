// The Python class `valtorimesca.Suite`: one shared, frozen object per suite
// code.
#pragma once

#include <cstdint>

#include "py.hpp"

namespace valtorimesca::py::suite {

// The process-wide class object, created with its six values on first use.
// nullptr with an exception set if the interpreter could not create it.
PyObject* type();

// Borrowed reference to the shared object of a code from 1 to 6; nullptr
// with an exception set if the class could not be created.
PyObject* object_of(uint8_t code);

// True if `obj` is a Suite; then `*code` is its code. Never sets an error.
bool code_of(PyObject* obj, uint8_t* code);

// Adds the class to the module under "Suite".
Status register_(PyObject* module);

}  // namespace valtorimesca::py::suite
