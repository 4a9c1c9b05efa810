#include "adapters.hpp"

#include <algorithm>
#include <string>

#include "args.hpp"

namespace valtorimesca::py {
namespace {

// Looks the method up and calls it with the given positional arguments
// (new references, consumed here). nullptr with an exception set on any
// failure, the lookup's AttributeError included.
template <class... Args>
Ref call_method(PyObject* target, const char* name, Args... args) {
  if ((!args || ...)) return Ref();
  Ref method(PyObject_GetAttrString(target, name));
  if (!method) return Ref();
  return Ref(PyObject_CallFunctionObjArgs(method.get(), args.get()..., nullptr));
}

Ref bytes32(const std::array<uint8_t, 32>& data) { return Ref(new_bytes(data)); }

bool set_wrong_length(Py_ssize_t got) {
  PyErr_Format(PyExc_ValueError, "expected a sequence of length %d (got %zd)", 32, got);
  return false;
}

}  // namespace

PendingException::~PendingException() { drop(); }

void PendingException::drop() noexcept {
  Py_DecRef(type_);
  Py_DecRef(value_);
  Py_DecRef(trace_);
  type_ = value_ = trace_ = nullptr;
}

void PendingException::store_current() noexcept {
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
  PyErr_Fetch(&type, &value, &trace);
  if (type == nullptr) return;
  drop();
  type_ = type;
  value_ = value;
  trace_ = trace;
}

bool PendingException::restore() noexcept {
  if (type_ == nullptr) return false;
  PyErr_Restore(type_, value_, trace_);  // hands over our references
  type_ = value_ = trace_ = nullptr;
  return true;
}

bool identity_from_answer(PyObject* answer, stateful::KeyIdentity* out) {
  if (PyBytes_Check(answer) || PyByteArray_Check(answer)) {
    const Py_ssize_t n = PyBytes_Check(answer) ? PyBytes_Size(answer) : PyByteArray_Size(answer);
    if (n < 0) return false;
    if (n != 32) return set_wrong_length(n);
    const char* data = PyBytes_Check(answer) ? PyBytes_AsString(answer) : PyByteArray_AsString(answer);
    if (data == nullptr) return false;
    std::copy(data, data + 32, out->bytes.begin());
    return true;
  }
  if (PySequence_Check(answer) != 1) {
    set_not_instance(answer, "Sequence");
    return false;
  }
  const Py_ssize_t n = PySequence_Size(answer);
  if (n < 0) return false;
  if (n != 32) return set_wrong_length(n);
  for (Py_ssize_t i = 0; i < 32; ++i) {
    Ref item(PySequence_GetItem(answer, i));
    if (!item) return false;
    long long v = 0;
    if (!read_unsigned(item.get(), 0xff, &v)) return false;
    out->bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
  }
  return true;
}

PyJournal::PyJournal(PyObject* journal) noexcept : journal_(Ref::borrow(journal)) {}

std::optional<stateful::KeyIdentity> PyJournal::bound_key() {
  if (cache_ == Cache::Unread) {
    cache_ = Cache::NotBound;
    Ref answer = call_method(journal_.get(), "bound_key");
    if (!answer) {
      pending_.store_current();
    } else if (!is_none(answer.get())) {
      if (identity_from_answer(answer.get(), &bound_)) {
        cache_ = Cache::Bound;
      } else {
        pending_.store_current();
      }
    }
  }
  if (cache_ == Cache::Bound) return bound_;
  return std::nullopt;
}

bool PyJournal::bind_key(const stateful::KeyIdentity& identity) {
  Ref answer = call_method(journal_.get(), "bind_key", bytes32(identity.bytes));
  if (!answer) {
    pending_.store_current();
    return false;
  }
  cache_ = Cache::Unread;
  return true;
}

uint32_t PyJournal::next_leaf() {
  Ref answer = call_method(journal_.get(), "next_leaf");
  long long v = 0;
  if (!answer || !read_unsigned(answer.get(), 0xffffffffLL, &v)) {
    pending_.store_current();
    return stateful::kUnreadableLeafCount;
  }
  return static_cast<uint32_t>(v);
}

bool PyJournal::commit(uint32_t leaf) {
  Ref answer = call_method(journal_.get(), "commit", Ref(PyLong_FromUnsignedLong(leaf)));
  if (!answer) {
    pending_.store_current();
    return false;
  }
  return true;
}

PyBudget::PyBudget(PyObject* budget) noexcept : budget_(Ref::borrow(budget)) {}

budget::Consumed PyBudget::consumed(const budget::BudgetKey& key) {
  Ref answer = call_method(budget_.get(), "consumed", bytes32(key.bytes));
  if (!answer) {
    pending_.store_current();
    return budget::Consumed::failed_read();
  }
  if (is_none(answer.get())) return budget::Consumed::nothing_recorded();
  Ref index = PyLong_Check(answer.get()) ? Ref::borrow(answer.get()) : Ref(PyNumber_Index(answer.get()));
  if (index) {
    const unsigned long long count = PyLong_AsUnsignedLongLong(index.get());
    if (!(count == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr)) {
      return budget::Consumed::recorded(count);
    }
  }
  pending_.store_current();
  return budget::Consumed::failed_read();
}

bool PyBudget::record(const budget::BudgetKey& key, uint64_t count) {
  Ref answer = call_method(budget_.get(), "record", bytes32(key.bytes), Ref(PyLong_FromUnsignedLongLong(count)));
  if (!answer) {
    pending_.store_current();
    return false;
  }
  return true;
}

}  // namespace valtorimesca::py
