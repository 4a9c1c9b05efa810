// Byte arguments: private copies that are wiped when released.
#pragma once

#include "py.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::py {

// The call's own copy of a byte or text argument. Its whole allocation is
// wiped when it is released, on every path.
using PrivateCopy = zeroize::SecretBytes;

// Copies a bytes (or bytes subclass) or bytearray (or subclass) argument
// into `out`. Anything else sets TypeError "expected bytes or bytearray, got
// an object of a different type", with no parameter note. Later changes to
// a bytearray do not reach the copy.
bool extract_bytes(PyObject* obj, PrivateCopy* out);

}  // namespace valtorimesca::py
