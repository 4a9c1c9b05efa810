// Turns an internal fault below the binding into the module's panic
// exception. Every Python-callable entry runs its body through `guarded`.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <new>

#include "fault/fault.hpp"
#include "py.hpp"

namespace valtorimesca::py {

// The process-wide class "pyo3_runtime.PanicException" (a direct subclass of
// BaseException); nullptr only if the interpreter could not create it.
PyObject* panic_exception_type();

// Sets the panic exception with the fault's message.
void raise_panic(const char* message);

// Runs `body`; an internal fault becomes the panic exception and `on_fault`
// is returned. An exhausted heap ends the process.
template <class R, class F>
R guarded(R on_fault, F&& body) noexcept {
  try {
    return body();
  } catch (const fault::InternalFault& f) {
    raise_panic(f.what());
    return on_fault;
  } catch (const std::bad_alloc&) {
    std::fputs("memory allocation failed\n", stderr);
    std::abort();
  } catch (...) {
    fault::report("unexpected exception in native code", fault::SourceLocation::current());
    raise_panic("unexpected exception in native code");
    return on_fault;
  }
}

}  // namespace valtorimesca::py
