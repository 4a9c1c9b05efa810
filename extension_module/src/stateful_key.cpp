// The StatefulSecretKey class. The object owns the key handle and keeps the
// caller's journal and budget objects for its whole life; a borrow flag
// instead of a lock guards the handle, since the caller's journal and budget
// methods run Python code (and so maybe other threads) in the middle of a
// signature.
#include "stateful_key.hpp"

#include <atomic>
#include <new>
#include <utility>
#include <vector>

#include "adapters.hpp"
#include "args.hpp"
#include "errors.hpp"
#include "once.hpp"
#include "panic.hpp"
#include "registry.hpp"
#include "suite.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca::py::stateful_key {
namespace {

using valtorimesca_abi::SuiteCode;
using valtorimesca_abi::handle::StatefulKeyHandle;

// 0: free; all bits set: held by one exclusive user; n: held by n shared
// users.
using BorrowWord = std::atomic<uintptr_t>;
constexpr uintptr_t kExclusive = ~uintptr_t{0};

struct PyKey {
  PyObject_HEAD StatefulKeyHandle* handle;
  PyObject* journal;
  PyObject* budget;
  uint8_t code;
  BorrowWord borrow;
};

PyKey* as_key(PyObject* self) { return reinterpret_cast<PyKey*>(self); }

// Takes the flag for the lifetime of the object, or sets RuntimeError.
class SharedBorrow {
 public:
  explicit SharedBorrow(PyKey* key) noexcept : word_(&key->borrow) {
    uintptr_t seen = word_->load(std::memory_order_relaxed);
    do {
      if (seen == kExclusive || seen == kExclusive - 1) {
        PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
        word_ = nullptr;
        return;
      }
    } while (!word_->compare_exchange_weak(seen, seen + 1, std::memory_order_acquire, std::memory_order_relaxed));
  }
  ~SharedBorrow() {
    if (word_ != nullptr) word_->fetch_sub(1, std::memory_order_release);
  }
  SharedBorrow(const SharedBorrow&) = delete;
  SharedBorrow& operator=(const SharedBorrow&) = delete;
  bool held() const noexcept { return word_ != nullptr; }

 private:
  BorrowWord* word_;
};

class ExclusiveBorrow {
 public:
  explicit ExclusiveBorrow(PyKey* key) noexcept : word_(&key->borrow) {
    uintptr_t expected = 0;
    if (!word_->compare_exchange_strong(expected, kExclusive, std::memory_order_acquire, std::memory_order_relaxed)) {
      PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
      word_ = nullptr;
    }
  }
  ~ExclusiveBorrow() {
    if (word_ != nullptr) word_->store(0, std::memory_order_release);
  }
  ExclusiveBorrow(const ExclusiveBorrow&) = delete;
  ExclusiveBorrow& operator=(const ExclusiveBorrow&) = delete;
  bool held() const noexcept { return word_ != nullptr; }

 private:
  BorrowWord* word_;
};

OnceObject type_slot;

PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "cannot create 'valtorimesca.StatefulSecretKey' instances");
  return nullptr;
}

// The key takes part in garbage collection: a journal or budget that refers
// back to its key makes a cycle, and without these the key would never be
// freed, nor its secrets wiped.
int traverse(PyObject* self, visitproc visit, void* arg) {
  PyKey* key = as_key(self);
  Py_VISIT(key->journal);
  Py_VISIT(key->budget);
  Py_VISIT(reinterpret_cast<PyObject*>(Py_TYPE(self)));
  return 0;
}

int clear(PyObject* self) {
  PyKey* key = as_key(self);
  Py_DecRef(std::exchange(key->journal, nullptr));
  Py_DecRef(std::exchange(key->budget, nullptr));
  return 0;
}

// Only a finalizer run by the collector can reach a key whose references
// were cleared.
bool refuse_if_cleared(PyObject* store) {
  if (store != nullptr) return false;
  PyErr_SetString(PyExc_RuntimeError, "the key object is being destroyed");
  return true;
}

void dealloc(PyObject* self) {
  PyKey* key = as_key(self);
  PyTypeObject* cls = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  delete key->handle;  // wipes the key
  key->handle = nullptr;
  Py_DecRef(key->journal);
  Py_DecRef(key->budget);
  key->borrow.~BorrowWord();
  auto release = reinterpret_cast<freefunc>(PyType_GetSlot(cls, Py_tp_free));
  release(self);
  Py_DecRef(reinterpret_cast<PyObject*>(cls));
}

PyObject* repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyKey* key = as_key(self);
    SharedBorrow borrow(key);
    if (!borrow.held()) return nullptr;
    return PyUnicode_FromString(key->code == 5 ? "<StatefulSecretKey suite=ED-SH>" : "<StatefulSecretKey suite=SR-SH>");
  });
}

PyObject* suite_getter(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyKey* key = as_key(self);
    SharedBorrow borrow(key);
    if (!borrow.held()) return nullptr;
    PyObject* obj = suite::object_of(key->code);
    if (obj != nullptr) Py_IncRef(obj);
    return obj;
  });
}

constexpr const char* kSignParams[] = {"msg", "ctx"};
const Signature kSignStateful{"StatefulSecretKey.sign_stateful", kSignParams};
const Signature kSignStateless{"StatefulSecretKey.sign_stateless", kSignParams};

// Both signing methods: the same arguments and output buffer. The stateful
// one holds the key alone and spends through the journal, the few-time one
// shares it and spends through the budget; a failure the store raised wins
// over the result.
template <const Signature& spec, class Borrow, class Store, PyObject* PyKey::*kStore, auto kSign>
PyObject* sign_through(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[2];
    if (!parse_args(spec, args, kwargs, argv)) return nullptr;
    PyKey* key = as_key(self);
    Borrow borrow(key);
    if (!borrow.held()) return nullptr;
    PrivateCopy msg, ctx;
    if (!extract_bytes(argv[0], &msg) || !extract_bytes(argv[1], &ctx)) return nullptr;
    if (refuse_if_cleared(key->*kStore)) return nullptr;
    std::vector<uint8_t> sig(valtorimesca_abi::signature_len(static_cast<SuiteCode>(key->code)), 0);
    Store store(key->*kStore);
    auto n = kSign(*key->handle, store, msg.span(), ctx.span(), sig);
    if (store.raise_pending()) return nullptr;
    return bytes_or_raise(n, sig);
  });
}

PyObject* sign_stateful(PyObject* self, PyObject* args, PyObject* kwargs) {
  return sign_through<kSignStateful, ExclusiveBorrow, PyJournal, &PyKey::journal,
                      &valtorimesca_abi::handle::sign_stateful_with_handle<PyJournal>>(self, args, kwargs);
}

PyObject* sign_stateless(PyObject* self, PyObject* args, PyObject* kwargs) {
  return sign_through<kSignStateless, SharedBorrow, PyBudget, &PyKey::budget,
                      &valtorimesca_abi::handle::sign_stateless_with_handle<PyBudget>>(self, args, kwargs);
}

PyObject* export_(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyKey* key = as_key(self);
    SharedBorrow borrow(key);
    if (!borrow.held()) return nullptr;
    PrivateCopy blob(valtorimesca_abi::sizes(static_cast<SuiteCode>(key->code)).secret_key);
    return bytes_or_raise(valtorimesca_abi::handle::export_blob(*key->handle, blob.span()), blob.span());
  });
}

PyObject* refuse(PyObject* self, errors::Refusal what) {
  SharedBorrow borrow(as_key(self));
  if (!borrow.held()) return nullptr;
  return errors::raise_not_cloneable(what);
}

PyObject* copy_(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return refuse(self, errors::Refusal::Copy); });
}

constexpr const char* kDeepCopyParams[] = {"_memo"};
const Signature kDeepCopy{"StatefulSecretKey.__deepcopy__", kDeepCopyParams};

PyObject* deepcopy_(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* argv[1];
    if (!parse_args(kDeepCopy, args, kwargs, argv)) return nullptr;
    return refuse(self, errors::Refusal::DeepCopy);
  });
}

PyObject* reduce_(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return refuse(self, errors::Refusal::Pickle); });
}

PyMethodDef methods[] = {
    {"sign_stateful", as_cfunction(&sign_stateful), METH_VARARGS | METH_KEYWORDS,
     "sign_stateful($self, msg, ctx)\n--\n\n"
     "Sign `msg` under the application context `ctx` on the stateful path,\n"
     "spending the key's next one-time leaf.\n\n"
     "The journal is asked `bound_key()`, `next_leaf()` twice and then\n"
     "`commit(leaf)`; the leaf is durably committed before the one-time\n"
     "signature exists, and this object advances in place. Returns the\n"
     "signature as `bytes`: 2153 + 32*q bytes, q being the leaf's 1-based\n"
     "number (the journal then counts q spent leaves).\n\n"
     "After every call, one that raised included, persist `export()` before\n"
     "relying on the signature: a key reloaded from an older blob is refused\n"
     "by its journal rather than reissuing a leaf.\n\n"
     "# Errors\n\n"
     "- `ComponentFailureError`: the blob this key was loaded from does not\n"
     "  hold together (its verify key bundle is not its engine key's, or an\n"
     "  `ED_SH` key's Ed25519 seed does not derive the public half stored\n"
     "  after it); the journal is not called and nothing is spent.\n"
     "- `SigningFailedError`: `ctx` is longer than 255 bytes (nothing spent).\n"
     "- `JournalKeyMismatchError`: the journal is not bound to this key.\n"
     "- `CountersDivergedError`: the journal's next leaf is not this key's\n"
     "  spent count; the key can sign no more, rotate it.\n"
     "- `LeavesExhaustedError`: every leaf is spent; rotate the key.\n"
     "- `GrindAbortError`: the randomizer grind bound was reached; the leaf is\n"
     "  spent in the journal and this key can sign no more.\n"
     "- Whatever the journal's methods raise, or the error converting their\n"
     "  answers (TypeError, ValueError, OverflowError), unchanged.\n"
     "- RuntimeError \"Already borrowed\": the key is in use by another call.\n"
     "- TypeError: `msg` or `ctx` is not bytes or bytearray."},
    {"sign_stateless", as_cfunction(&sign_stateless), METH_VARARGS | METH_KEYWORDS,
     "sign_stateless($self, msg, ctx)\n--\n\n"
     "Sign `msg` under `ctx` on the few-time stateless path, reserved for rare\n"
     "messages such as rotation and recovery authorizations.\n\n"
     "Spends one unit of the key's few-time budget through the budget object\n"
     "(`consumed(key)`, then `record(key, count)` before the signature is\n"
     "made); spends no leaf and leaves this object unchanged. Returns the\n"
     "signature as `bytes` (29157 bytes).\n\n"
     "# Errors\n\n"
     "- `ComponentFailureError`: the blob this key was loaded from does not\n"
     "  hold together (its verify key bundle is not its engine key's, or an\n"
     "  `ED_SH` key's Ed25519 seed does not derive the public half stored\n"
     "  after it); the budget object is not called and nothing is spent.\n"
     "- `SigningFailedError`: `ctx` is longer than 255 bytes, or the message\n"
     "  cannot be signed on this path (nothing spent).\n"
     "- `StatelessBudgetExhaustedError`: the few-time budget is spent.\n"
     "- Whatever the budget's methods raise, or the error converting their\n"
     "  answers (TypeError, OverflowError), unchanged.\n"
     "- RuntimeError \"Already mutably borrowed\": a stateful signature of\n"
     "  this key is in progress.\n"
     "- TypeError: `msg` or `ctx` is not bytes or bytearray."},
    {"export", &export_, METH_NOARGS,
     "export($self)\n--\n\n"
     "The key's current 496-byte export blob: classical secret key, engine\n"
     "key, spent-leaf count and verify key bundle, as\n"
     "`load_stateful_secret_key` reads it back.\n\n"
     "The returned `bytes` hold the secret key and cannot be wiped; this\n"
     "method wipes its own copy. Persist the blob after every\n"
     "`sign_stateful` call."},
    {"__copy__", &copy_, METH_NOARGS, "__copy__($self)\n--\n\n"},
    {"__deepcopy__", as_cfunction(&deepcopy_), METH_VARARGS | METH_KEYWORDS, "__deepcopy__($self, _memo)\n--\n\n"},
    {"__reduce__", &reduce_, METH_NOARGS, "__reduce__($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef getset[] = {
    {"suite", &suite_getter, nullptr, "The suite this key was created for.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constexpr const char* kDoc =
    "A loaded ED_SH or SR_SH secret key.\n\n"
    "The object holds the imported key, so signing needs no import. It is\n"
    "made only by `keygen_stateful_from_seed` and `load_stateful_secret_key`,\n"
    "which bind it to its leaf journal and keep its journal and budget objects\n"
    "for the object's whole life.\n\n"
    "`sign_stateful` advances the object in place and records the spent leaf\n"
    "through the bound journal before it returns the signature;\n"
    "`sign_stateless` spends no leaf. After every `sign_stateful` call,\n"
    "including one that raised, persist `export()` before relying on the\n"
    "signature.\n\n"
    "It cannot be copied or pickled: two copies would spend the same leaf.";

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_new, reinterpret_cast<void*>(&no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(&traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(&clear)},
    {Py_tp_repr, reinterpret_cast<void*>(&repr)},
    {Py_tp_methods, methods},
    {Py_tp_getset, getset},
    {0, nullptr},
};

PyType_Spec type_definition = {
    "valtorimesca.StatefulSecretKey",
    static_cast<int>(sizeof(PyKey)),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
    slots,
};

PyObject* make_type() {
  PyType_Spec definition = type_definition;
  definition.flags |= immutable_type_flag();
  return PyType_FromSpec(&definition);
}

}  // namespace

PyObject* type() { return type_slot.get(&make_type); }

PyObject* make(StatefulKeyHandle&& handle, PyObject* journal, PyObject* budget, uint8_t code) {
  PyObject* cls = type();
  if (cls == nullptr) return nullptr;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(reinterpret_cast<PyTypeObject*>(cls), Py_tp_alloc));
  PyObject* self = alloc(reinterpret_cast<PyTypeObject*>(cls), 0);
  if (self == nullptr) return nullptr;  // `handle` is destroyed by its owner
  PyKey* key = as_key(self);
  new (&key->borrow) BorrowWord(0);
  key->handle = new StatefulKeyHandle(std::move(handle));
  Py_IncRef(journal);
  key->journal = journal;
  Py_IncRef(budget);
  key->budget = budget;
  key->code = code;
  return self;
}

Status register_(PyObject* module) {
  PyObject* cls = type();
  if (cls == nullptr) return -1;
  return add(module, "StatefulSecretKey", cls);
}

}  // namespace valtorimesca::py::stateful_key
