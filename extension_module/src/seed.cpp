#include "registry.hpp"

namespace valtorimesca::py::seed {

Status register_(PyObject*) { return 0; }

}  // namespace valtorimesca::py::seed
