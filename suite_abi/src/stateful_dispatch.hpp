// Selection of the suite type of a stateful suite code, for the entry
// points of stateful_suites and handle. Callers test the suite group first,
// so a stateless code reaching here is a broken invariant.
#pragma once

#include "fault/fault.hpp"
#include "valtorimesca/shrincs/suites.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::stateful_dispatch {

using valtorimesca::shrincs::EdSh;
using valtorimesca::shrincs::SrSh;

// f(EdSh{}) or f(SrSh{}).
template <class F>
decltype(auto) with_suite(SuiteCode suite, F&& f) {
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

}  // namespace valtorimesca_abi::stateful_dispatch
