#include "registry.hpp"

namespace valtorimesca::py::errors {

Status register_(PyObject*) { return 0; }

}  // namespace valtorimesca::py::errors
