// Registration of the module's names, in the order they appear in __all__.
#pragma once

#include "py.hpp"

namespace valtorimesca::py {

// Appends `name` to the module's __all__ (created on first use) and sets the
// attribute. The name goes into __all__ before the attribute is set.
Status add(PyObject* module, PyObject* name, PyObject* object);
Status add(PyObject* module, const char* name, PyObject* object);

// Creates a function object from a process-lifetime definition, bound to
// `module`, and adds it under its own __name__.
Status add_function(PyObject* module, PyMethodDef* def);

namespace errors {
Status register_(PyObject* module);
}
namespace stateless {
Status register_(PyObject* module);
}
namespace stateful {
Status register_(PyObject* module);
}
namespace seed {
Status register_(PyObject* module);
}
namespace vrf {
Status register_(PyObject* module);
}

}  // namespace valtorimesca::py
