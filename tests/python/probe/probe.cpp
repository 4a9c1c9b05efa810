// A test-only extension module that drives the native module's argument
// conversions, error translation and lock handling directly. It is built by
// the Python tests and never shipped.
#include <unistd.h>

#include <algorithm>

#include "adapters.hpp"
#include "args.hpp"
#include "errors.hpp"
#include "fault/fault.hpp"
#include "panic.hpp"
#include "registry.hpp"
#include "suite.hpp"

namespace vp = valtorimesca::py;

namespace {

using vp::PrivateCopy;
using vp::Ref;

PyObject* tuple_of(std::initializer_list<PyObject*> owned) {
  Ref t(PyTuple_New(static_cast<Py_ssize_t>(owned.size())));
  Py_ssize_t i = 0;
  bool ok = static_cast<bool>(t);
  for (PyObject* item : owned) {
    if (item == nullptr) ok = false;
    if (t && item != nullptr)
      PyTuple_SetItem(t.get(), i, item);
    else
      Py_DecRef(item);
    ++i;
  }
  return ok ? t.release() : nullptr;
}

PyObject* raise_code(PyObject*, PyObject* arg) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    long c = PyLong_AsLong(arg);
    if (c == -1 && PyErr_Occurred()) return nullptr;
    return vp::errors::to_py_err(static_cast<valtorimesca_abi::AbiError>(c));
  });
}

PyObject* refuse(PyObject*, PyObject* arg) {
  long c = PyLong_AsLong(arg);
  if (c == -1 && PyErr_Occurred()) return nullptr;
  return vp::errors::raise_not_cloneable(static_cast<vp::errors::Refusal>(c));
}

constexpr const char* kConvertParams[] = {"suite", "sk", "msg", "ctx"};
const vp::Signature kConvert{"convert", kConvertParams};

// Converts like a stateless signing function and hands the copies back.
PyObject* convert(PyObject*, PyObject* args, PyObject* kwargs) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[4];
    if (!vp::parse_args(kConvert, args, kwargs, argv)) return nullptr;
    uint8_t code = 0;
    if (!vp::extract_suite(argv[0], &code)) return nullptr;
    PrivateCopy sk, msg, ctx;
    if (!vp::extract_bytes(argv[1], &sk) || !vp::extract_bytes(argv[2], &msg) || !vp::extract_bytes(argv[3], &ctx))
      return nullptr;
    return tuple_of(
        {PyLong_FromLong(code), vp::new_bytes(sk.span()), vp::new_bytes(msg.span()), vp::new_bytes(ctx.span())});
  });
}

// Converts `bytearray` and then runs `callback` before returning the copy,
// so a test can change the bytearray after the conversion.
constexpr const char* kSnapshotParams[] = {"data", "callback"};
const vp::Signature kSnapshot{"snapshot", kSnapshotParams};

PyObject* snapshot(PyObject*, PyObject* args, PyObject* kwargs) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!vp::parse_args(kSnapshot, args, kwargs, argv)) return nullptr;
    PrivateCopy data;
    if (!vp::extract_bytes(argv[0], &data)) return nullptr;
    Ref r(PyObject_CallObject(argv[1], nullptr));
    if (!r) return nullptr;
    return vp::new_bytes(data.span());
  });
}

constexpr const char* kTextParams[] = {"phrase", "password"};
const vp::Signature kText{"texts", kTextParams, 1};

PyObject* texts(PyObject*, PyObject* args, PyObject* kwargs) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!vp::parse_args(kText, args, kwargs, argv)) return nullptr;
    PrivateCopy phrase, password;
    if (!vp::extract_text(argv[0], "phrase", &phrase)) return nullptr;
    Ref none(vp::new_none());
    const bool has_password = argv[1] != nullptr && argv[1] != none.get();
    if (has_password && !vp::extract_text(argv[1], "password", &password)) return nullptr;
    return tuple_of({vp::new_bytes(phrase.span()), has_password ? vp::new_bytes(password.span()) : vp::new_none()});
  });
}

constexpr const char* kMethodParams[] = {"msg", "ctx"};
const vp::Signature kMethod{"StatefulSecretKey.sign_stateful", kMethodParams};

PyObject* method_like(PyObject*, PyObject* args, PyObject* kwargs) {
  PyObject* argv[2];
  if (!vp::parse_args(kMethod, args, kwargs, argv)) return nullptr;
  return vp::new_none();
}

constexpr const char* kU32Params[] = {"max_stateful_signatures"};
const vp::Signature kU32{"u32", kU32Params};

PyObject* u32(PyObject*, PyObject* args, PyObject* kwargs) {
  PyObject* argv[1];
  if (!vp::parse_args(kU32, args, kwargs, argv)) return nullptr;
  uint32_t v = 0;
  if (!vp::extract_u32(argv[0], "max_stateful_signatures", &v)) return nullptr;
  return PyLong_FromUnsignedLong(v);
}

PyObject* sleep_without_gil(PyObject*, PyObject* arg) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    long ms = PyLong_AsLong(arg);
    if (ms == -1 && PyErr_Occurred()) return nullptr;
    vp::without_gil([ms] { usleep(static_cast<useconds_t>(ms) * 1000); });
    return vp::new_none();
  });
}

PyObject* fault_in_native(PyObject*, PyObject*) {
  return vp::guarded<PyObject*>(nullptr, []() -> PyObject* {
    vp::without_gil([] { fault::raise("probe fault while the lock is released"); });
    return vp::new_none();
  });
}

// Writes 0, 1, 2, ... into an 8-byte output buffer and reports `written`
// bytes, or fails with error code `-written`.
PyObject* output(PyObject*, PyObject* arg) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    long written = PyLong_AsLong(arg);
    if (written == -1 && PyErr_Occurred()) return nullptr;
    vp::PrivateCopy buffer(8);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i);
    if (written < 0) {
      const valtorimesca_abi::AbiResult<size_t> refused =
          valtorimesca_abi::abi_fail(static_cast<valtorimesca_abi::AbiError>(-written));
      return vp::bytes_or_raise(refused, buffer.span());
    }
    const valtorimesca_abi::AbiResult<size_t> count = static_cast<size_t>(written);
    return vp::bytes_or_raise(count, buffer.span());
  });
}

PyObject* suite_type(PyObject*, PyObject*) {
  PyObject* t = vp::suite::type();
  if (t != nullptr) Py_IncRef(t);
  return t;
}

PyObject* register_errors(PyObject*, PyObject* module) {
  if (vp::errors::register_(module) < 0) return nullptr;
  return vp::new_none();
}

template <class Adapter>
PyObject* with_pending(Adapter& adapter, Ref results) {
  Ref pending(vp::new_none());
  if (adapter.raise_pending()) {
    PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
    PyErr_Fetch(&type, &value, &trace);
    PyErr_NormalizeException(&type, &value, &trace);
    if (trace != nullptr) PyException_SetTraceback(value, trace);
    pending = Ref(value);
    Py_DecRef(type);
    Py_DecRef(trace);
  }
  return tuple_of({results.release(), pending.release()});
}

// Runs a journal adapter through `ops`, a sequence of tuples ("bound_key",),
// ("bind_key", identity), ("next_leaf",) or ("commit", leaf), and answers
// (results, pending): the adapter's results as a list (None for "not
// bound") and the exception it holds at the end, or None.
PyObject* drive_journal(PyObject*, PyObject* args) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject *journal = nullptr, *ops = nullptr;
    if (!PyArg_ParseTuple(args, "OO", &journal, &ops)) return nullptr;
    vp::PyJournal adapter(journal);
    Ref results(PyList_New(0));
    const Py_ssize_t n = PySequence_Size(ops);
    for (Py_ssize_t i = 0; i < n; ++i) {
      Ref op(PySequence_GetItem(ops, i));
      Ref name(PySequence_GetItem(op.get(), 0));
      Ref result;
      if (PyUnicode_CompareWithASCIIString(name.get(), "bound_key") == 0) {
        auto id = adapter.bound_key();
        result = id ? Ref(vp::new_bytes(id->bytes)) : Ref(vp::new_none());
      } else if (PyUnicode_CompareWithASCIIString(name.get(), "bind_key") == 0) {
        Ref arg(PySequence_GetItem(op.get(), 1));
        valtorimesca::stateful::KeyIdentity id{};
        std::copy_n(PyBytes_AsString(arg.get()), 32, id.bytes.begin());
        result = Ref(PyBool_FromLong(adapter.bind_key(id)));
      } else if (PyUnicode_CompareWithASCIIString(name.get(), "next_leaf") == 0) {
        result = Ref(PyLong_FromUnsignedLong(adapter.next_leaf()));
      } else {
        Ref arg(PySequence_GetItem(op.get(), 1));
        result = Ref(PyBool_FromLong(adapter.commit(static_cast<uint32_t>(PyLong_AsUnsignedLong(arg.get())))));
      }
      PyList_Append(results.get(), result.get());
    }
    return with_pending(adapter, std::move(results));
  });
}

// The same for a budget adapter: ("consumed", key) answers the count, None
// for nothing recorded or "failed"; ("record", key, count) a bool.
PyObject* drive_budget(PyObject*, PyObject* args) {
  return vp::guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject *budget = nullptr, *ops = nullptr;
    if (!PyArg_ParseTuple(args, "OO", &budget, &ops)) return nullptr;
    vp::PyBudget adapter(budget);
    Ref results(PyList_New(0));
    const Py_ssize_t n = PySequence_Size(ops);
    for (Py_ssize_t i = 0; i < n; ++i) {
      Ref op(PySequence_GetItem(ops, i));
      Ref name(PySequence_GetItem(op.get(), 0));
      Ref key_obj(PySequence_GetItem(op.get(), 1));
      valtorimesca::budget::BudgetKey key{};
      std::copy_n(PyBytes_AsString(key_obj.get()), 32, key.bytes.begin());
      Ref result;
      if (PyUnicode_CompareWithASCIIString(name.get(), "consumed") == 0) {
        const auto c = adapter.consumed(key);
        using K = valtorimesca::budget::Consumed::Kind;
        result = c.kind == K::Count             ? Ref(PyLong_FromUnsignedLongLong(c.count))
                 : c.kind == K::NothingRecorded ? Ref(vp::new_none())
                                                : Ref(PyUnicode_FromString("failed"));
      } else {
        Ref count(PySequence_GetItem(op.get(), 2));
        result = Ref(PyBool_FromLong(adapter.record(key, PyLong_AsUnsignedLongLong(count.get()))));
      }
      PyList_Append(results.get(), result.get());
    }
    return with_pending(adapter, std::move(results));
  });
}

#define KW(f) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&f))

PyMethodDef methods[] = {
    {"raise_code", &raise_code, METH_O, nullptr},
    {"refuse", &refuse, METH_O, nullptr},
    {"convert", KW(convert), METH_VARARGS | METH_KEYWORDS, nullptr},
    {"snapshot", KW(snapshot), METH_VARARGS | METH_KEYWORDS, nullptr},
    {"texts", KW(texts), METH_VARARGS | METH_KEYWORDS, nullptr},
    {"method_like", KW(method_like), METH_VARARGS | METH_KEYWORDS, nullptr},
    {"u32", KW(u32), METH_VARARGS | METH_KEYWORDS, nullptr},
    {"sleep_without_gil", &sleep_without_gil, METH_O, nullptr},
    {"fault_in_native", &fault_in_native, METH_NOARGS, nullptr},
    {"output", &output, METH_O, nullptr},
    {"suite_type", &suite_type, METH_NOARGS, nullptr},
    {"register_errors", &register_errors, METH_O, nullptr},
    {"drive_journal", &drive_journal, METH_VARARGS, nullptr},
    {"drive_budget", &drive_budget, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "_valtorimesca_probe", nullptr, -1, methods, nullptr, nullptr, nullptr, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__valtorimesca_probe() {
  return PyModule_Create(&definition);
}
