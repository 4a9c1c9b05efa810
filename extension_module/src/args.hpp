// Conventions shared by every module function and method: argument parsing,
// conversions with their parameter note, private copies of secret and public
// inputs, results, and giving up the interpreter lock around long native
// work.
//
// A typical entry point:
//
//   constexpr const char* kParams[] = {"suite", "sk", "msg", "ctx"};
//   const Signature kSign{"sign", kParams};
//
//   PyObject* sign(PyObject*, PyObject* args, PyObject* kwargs) {
//     return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
//       uint8_t code;
//       PrivateCopy in[3];
//       if (!parse_suite_and_bytes(kSign, args, kwargs, &code, in)) return nullptr;
//       auto& [sk, msg, ctx] = in;
//       ...
//     });
//   }
//
// Entry points with other kinds of parameters call parse_args and the
// extract_ functions themselves, in parameter order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "bytes_in.hpp"
#include "errors.hpp"
#include "py.hpp"
#include "valtorimesca/suite_code.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::py {

// A function's parameters: all positional-or-keyword, the first `required`
// of them required. `name` is the function's name, or "Class.method" for a
// method; error texts show it followed by "()".
struct Signature {
  const char* name;
  std::span<const char* const> params;
  size_t required;

  template <size_t N>
  constexpr Signature(const char* n, const char* const (&p)[N]) noexcept : name(n), params(p), required(N) {}
  template <size_t N>
  constexpr Signature(const char* n, const char* const (&p)[N], size_t req) noexcept
      : name(n), params(p), required(req) {}
};

// Matches the positional arguments in order and the keyword arguments by
// name. On success `out` (one slot per parameter) holds borrowed references,
// nullptr for an optional parameter not given. On failure sets TypeError and
// returns false. Looks at no argument's value.
bool parse_args(const Signature& sig, PyObject* args, PyObject* kwargs, std::span<PyObject*> out);

// Attaches the note "while processing '<param>'" to the pending exception
// through its add_note method; an interpreter without add_note (or any
// failure to add it) leaves the exception as it was.
void add_param_note(const char* param);

// The `suite` check: only a Suite object is accepted (an int is refused).
// On failure sets TypeError with the parameter note.
bool extract_suite(PyObject* obj, uint8_t* code, const char* param = "suite");

// The suite ABI's name for a code extract_suite gave.
inline suites::SuiteCode suite_of(uint8_t code) { return static_cast<suites::SuiteCode>(code); }

// The head of every entry point whose parameters are the suite and then N
// byte strings (`sig` names exactly N + 1): parse_args, extract_suite, then
// extract_bytes into copies[0..N) in parameter order. The first failure
// leaves its exception set and answers false.
template <size_t N>
bool parse_suite_and_bytes(const Signature& sig, PyObject* args, PyObject* kwargs, uint8_t* code,
                           PrivateCopy (&copies)[N]) {
  PyObject* argv[N + 1];
  if (!parse_args(sig, args, kwargs, argv)) return false;
  if (!extract_suite(argv[0], code)) return false;
  for (size_t i = 0; i < N; ++i) {
    if (!extract_bytes(argv[i + 1], &copies[i])) return false;
  }
  return true;
}

// The same head for an entry point whose one parameter is the suite.
inline bool parse_suite(const Signature& sig, PyObject* args, PyObject* kwargs, uint8_t* code) {
  PyObject* argv[1];
  return parse_args(sig, args, kwargs, argv) && extract_suite(argv[0], code);
}

// Reads an int (or an object with __index__) as a signed 64-bit value; no
// note. On failure the interpreter's TypeError or OverflowError is set.
bool read_i64(PyObject* obj, long long* value);

// Reads as read_i64 does, then checks 0 <= value <= max (OverflowError "out
// of range integral type conversion attempted" outside it); no note.
bool read_unsigned(PyObject* obj, long long max, long long* value);

// Unsigned integer arguments: read_unsigned with the parameter note on
// every failure.
bool extract_u8(PyObject* obj, const char* param, uint8_t* value);
bool extract_u32(PyObject* obj, const char* param, uint32_t* value);

// Sets TypeError "'<type qualname>' object is not an instance of
// '<expected>'" (or "'None' is not an instance of '<expected>'").
void set_not_instance(PyObject* obj, const char* expected);

// A text argument (str or a subclass) as a private copy of its strict UTF-8
// encoding. Failures (TypeError, UnicodeEncodeError) carry the note.
bool extract_text(PyObject* obj, const char* param, PrivateCopy* out);

// New bytes object holding `data`.
PyObject* new_bytes(std::span<const uint8_t> data);

// Output buffers handed to the suite ABI are zero-filled and of the largest
// length the output can have: a PrivateCopy for a secret result (secret key,
// export blob, seed), wiped right after the Python result is made, a
// std::vector<uint8_t> for a public one (signature, proof, public key).

// New bytes object from the first `written` bytes of an output buffer; a
// count beyond the buffer is an internal fault.
PyObject* result_bytes(std::span<const uint8_t> buffer, size_t written);

// The result of a count-reporting entry point (bytes written, or an error
// code) as a bytes object or the code's exception.
template <class Count>
PyObject* bytes_or_raise(const valtorimesca_abi::AbiResult<Count>& count, std::span<const uint8_t> buffer) {
  if (!count) return errors::to_py_err(count.error());
  return result_bytes(buffer, static_cast<size_t>(count.value()));
}

// A status-reporting entry point's failure raised, or success as true.
inline bool ok_or_raise(const valtorimesca_abi::AbiStatus& status) {
  if (status) return true;
  errors::to_py_err(status.error());
  return false;
}

// New bool object.
inline PyObject* new_bool(bool value) { return PyBool_FromLong(value ? 1 : 0); }

// Gives up the interpreter lock for the lifetime of the object. The code
// that runs meanwhile must not touch any Python object; it works on private
// copies only.
class AllowThreads {
 public:
  AllowThreads() noexcept : state_(PyEval_SaveThread()) {}
  ~AllowThreads() { PyEval_RestoreThread(state_); }
  AllowThreads(const AllowThreads&) = delete;
  AllowThreads& operator=(const AllowThreads&) = delete;

 private:
  PyThreadState* state_;
};

// Runs `work` without the interpreter lock and returns its result; the lock
// is taken back on every path, an internal fault included.
template <class F>
decltype(auto) without_gil(F&& work) {
  AllowThreads released;
  return std::forward<F>(work)();
}

}  // namespace valtorimesca::py
