// The caller's journal and budget objects seen as the library's LeafJournal
// and StatelessBudgetStore.
//
// An adapter lives for one Python-visible call. Whatever goes wrong on the
// caller's side (a missing method, a raise, an answer that does not convert)
// is kept as the adapter's pending exception and the library is given the
// answer that refuses the operation. When the library call is over, the
// entry point raises the pending exception, the very object the caller's
// code produced, in place of whatever the library returned.
#pragma once

#include <cstdint>
#include <optional>

#include "py.hpp"
#include "valtorimesca/budget.hpp"
#include "valtorimesca/stateful.hpp"

namespace valtorimesca::py {

// One held exception (type, value, traceback), or none.
class PendingException {
 public:
  PendingException() = default;
  PendingException(const PendingException&) = delete;
  PendingException& operator=(const PendingException&) = delete;
  ~PendingException();

  // Takes the interpreter's current exception, replacing (and dropping) any
  // held one.
  void store_current() noexcept;

  // Hands the held exception back to the interpreter as the current one.
  // True if there was one; the slot is empty afterwards.
  bool restore() noexcept;

 private:
  void drop() noexcept;

  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* trace_ = nullptr;
};

class PyJournal {
 public:
  // Holds a strong reference to `journal` until the adapter is dropped.
  explicit PyJournal(PyObject* journal) noexcept;
  PyJournal(const PyJournal&) = delete;
  PyJournal& operator=(const PyJournal&) = delete;

  // bound_key() is asked once; later calls answer from the cache until a
  // successful bind_key. A failure is pending and answers "not bound".
  std::optional<stateful::KeyIdentity> bound_key();
  bool bind_key(const stateful::KeyIdentity& identity);
  // Asked on every call; a failure is pending and answers
  // stateful::kUnreadableLeafCount.
  uint32_t next_leaf();
  bool commit(uint32_t leaf);

  // Raises the pending exception, if any: true when one was raised.
  bool raise_pending() noexcept { return pending_.restore(); }

 private:
  enum class Cache : uint8_t { Unread, NotBound, Bound };

  Ref journal_;
  PendingException pending_;
  Cache cache_ = Cache::Unread;
  stateful::KeyIdentity bound_{};
};

class PyBudget {
 public:
  explicit PyBudget(PyObject* budget) noexcept;
  PyBudget(const PyBudget&) = delete;
  PyBudget& operator=(const PyBudget&) = delete;

  // None answers "nothing recorded"; a failure is pending and answers
  // "failed read".
  budget::Consumed consumed(const budget::BudgetKey& key);
  bool record(const budget::BudgetKey& key, uint64_t count);

  bool raise_pending() noexcept { return pending_.restore(); }

 private:
  Ref budget_;
  PendingException pending_;
};

static_assert(stateful::LeafJournal<PyJournal>);
static_assert(budget::StatelessBudgetStore<PyBudget>);

// The conversion of a bound_key() answer other than None into 32 bytes:
// bytes or bytearray (or subclasses) of length 32, or any sequence of 32
// integers from 0 to 255. On failure an exception is set.
bool identity_from_answer(PyObject* answer, stateful::KeyIdentity* out);

}  // namespace valtorimesca::py
