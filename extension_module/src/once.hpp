// Process-wide objects created once, on first use, with the interpreter lock
// held. A thread that finds the object still being made waits for it with
// the interpreter lock released, so the maker can finish; the object is
// never made twice and never released.
#pragma once

#include <atomic>
#include <mutex>

#include "py.hpp"

namespace valtorimesca::py {

class OnceObject {
 public:
  // Returns the object, calling `make` (which returns a new reference or
  // nullptr with an exception set) if it does not exist yet. A failed `make`
  // leaves the slot empty, so a later call tries again.
  template <class F>
  PyObject* get(F&& make) {
    if (PyObject* p = value_.load(std::memory_order_acquire)) return p;
    PyThreadState* state = PyEval_SaveThread();
    std::unique_lock<std::mutex> lock(mutex_);
    PyEval_RestoreThread(state);
    if (PyObject* p = value_.load(std::memory_order_acquire)) return p;
    PyObject* made = make();
    if (made != nullptr) value_.store(made, std::memory_order_release);
    return made;
  }

  // The object if it has been made, else nullptr.
  PyObject* peek() const noexcept { return value_.load(std::memory_order_acquire); }

 private:
  std::atomic<PyObject*> value_{nullptr};
  std::mutex mutex_;
};

}  // namespace valtorimesca::py
