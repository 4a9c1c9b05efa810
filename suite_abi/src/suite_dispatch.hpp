// The suite type behind a suite code, for the ABI's entry points: each calls
// f with a value of the code's type (EdMl44{}, EdFn512{}, SrMl44{},
// SrFn512{}, EdSh{} or SrSh{}), so every operation is written once over the
// type. A code outside the six reaching here is a broken invariant: the
// entry points take codes the binding has already checked.
#pragma once

#include "fault/fault.hpp"
#include "valtorimesca/shrincs/suites.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::suite_dispatch {

using valtorimesca::shrincs::EdSh;
using valtorimesca::shrincs::SrSh;
using valtorimesca::suites::EdFn512;
using valtorimesca::suites::EdMl44;
using valtorimesca::suites::SrFn512;
using valtorimesca::suites::SrMl44;

inline constexpr bool is_known(SuiteCode suite) noexcept {
  return valtorimesca::suites::is_stateless(suite) || valtorimesca::suites::is_stateful(suite);
}

[[noreturn]] inline void unknown_code() { fault::raise("suite code outside the six suites"); }

// Any of the six suites.
template <class F>
decltype(auto) with_suite(SuiteCode suite, F&& f) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return f(EdMl44{});
    case SuiteCode::ED_FN_512: return f(EdFn512{});
    case SuiteCode::SR_ML_44: return f(SrMl44{});
    case SuiteCode::SR_FN_512: return f(SrFn512{});
    case SuiteCode::ED_SH: return f(EdSh{});
    case SuiteCode::SR_SH: return f(SrSh{});
  }
  unknown_code();
}

// The four stateless suites; a stateful code is refused as the wrong entry
// point for the operation.
template <class F>
auto with_stateless_suite(SuiteCode suite, F&& f) -> decltype(f(EdMl44{})) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return f(EdMl44{});
    case SuiteCode::ED_FN_512: return f(EdFn512{});
    case SuiteCode::SR_ML_44: return f(SrMl44{});
    case SuiteCode::SR_FN_512: return f(SrFn512{});
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return abi_fail(AbiError::WrongEntryPointForSuite);
  }
  unknown_code();
}

// The two stateful suites. Their callers test the suite group first, so a
// stateless code here is a broken invariant too.
template <class F>
decltype(auto) with_stateful_suite(SuiteCode suite, F&& f) {
  switch (suite) {
    case SuiteCode::ED_SH: return f(EdSh{});
    case SuiteCode::SR_SH: return f(SrSh{});
    case SuiteCode::ED_ML_44:
    case SuiteCode::ED_FN_512:
    case SuiteCode::SR_ML_44:
    case SuiteCode::SR_FN_512: break;
  }
  fault::raise("a stateless suite code reached a stateful-suite routine");
}

}  // namespace valtorimesca_abi::suite_dispatch
