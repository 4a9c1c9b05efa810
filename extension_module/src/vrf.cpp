#include "registry.hpp"

namespace valtorimesca::py::vrf {

Status register_(PyObject*) { return 0; }

}  // namespace valtorimesca::py::vrf
