// A test-only extension module that drives the native module's argument
// conversions, error translation and lock handling directly. It is built by
// the Python tests and never shipped.
#include <unistd.h>

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
    if (t && item != nullptr) PyTuple_SetItem(t.get(), i, item);
    else Py_DecRef(item);
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
    if (!vp::extract_bytes(argv[1], &sk) || !vp::extract_bytes(argv[2], &msg) ||
        !vp::extract_bytes(argv[3], &ctx))
      return nullptr;
    return tuple_of({PyLong_FromLong(code), vp::new_bytes(sk.span()), vp::new_bytes(msg.span()),
                     vp::new_bytes(ctx.span())});
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
    return tuple_of({vp::new_bytes(phrase.span()),
                     has_password ? vp::new_bytes(password.span()) : vp::new_none()});
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
    vp::SecretOutput buffer(8);
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
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef definition = {PyModuleDef_HEAD_INIT, "_valtorimesca_probe", nullptr, -1, methods,
                          nullptr, nullptr, nullptr, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) PyObject* PyInit__valtorimesca_probe() {
  return PyModule_Create(&definition);
}
