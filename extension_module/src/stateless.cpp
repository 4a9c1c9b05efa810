// Functions of the stateless suites.
#include "panic.hpp"
#include "registry.hpp"

namespace valtorimesca::py::stateless {
namespace {

PyObject* profile_name(PyObject*, PyObject*) {
  return PyUnicode_FromString("shrincs-256s");
}

PyMethodDef profile_name_def = {
    "profile_name", &profile_name, METH_NOARGS,
    "profile_name()\n--\n\n"
    "Name of the SHRINCS profile this build links against, for example\n"
    "\"shrincs-256s\".\n\n"
    "Keys, signatures and verify keys of builds against different profiles\n"
    "are not interchangeable: the two sides of an integration compare this\n"
    "string before trusting anything on the wire."};

}  // namespace

Status register_(PyObject* module) {
  return add_function(module, &profile_name_def);
}

}  // namespace valtorimesca::py::stateless
