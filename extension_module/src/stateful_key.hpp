// The Python class `valtorimesca.StatefulSecretKey`: one imported ED_SH or
// SR_SH secret key with the journal and budget objects it spends through.
#pragma once

#include <cstdint>

#include "py.hpp"
#include "valtorimesca_abi/handle.hpp"

namespace valtorimesca::py::stateful_key {

// The process-wide class object, created on first use; nullptr with an
// exception set if the interpreter could not create it.
PyObject* type();

// A new key object owning `handle` and holding new references to `journal`
// and `budget`; nullptr with an exception set on failure (the handle is then
// destroyed, which wipes it).
PyObject* make(valtorimesca_abi::handle::StatefulKeyHandle&& handle, PyObject* journal, PyObject* budget, uint8_t code);

// Adds the class to the module under "StatefulSecretKey".
Status register_(PyObject* module);

}  // namespace valtorimesca::py::stateful_key
