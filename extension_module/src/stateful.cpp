#include "registry.hpp"

namespace valtorimesca::py::stateful {

Status register_(PyObject*) { return 0; }

}  // namespace valtorimesca::py::stateful
