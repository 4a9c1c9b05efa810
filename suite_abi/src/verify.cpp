#include "valtorimesca_abi/verify.hpp"

#include "composites.hpp"
#include "suite_dispatch.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

namespace valtorimesca_abi::verify {

using namespace valtorimesca;

bool verify(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  if (!suite_dispatch::is_known(suite)) return false;
  return suite_dispatch::with_suite(suite, [&](auto s) -> bool {
    using S = decltype(s);
    if constexpr (HybridSuite<S>) return composites::verify<S>(pk, msg, ctx, sig);
    // The stateful suites accept only stateful-path signatures here.
    else
      return stateful_suites::verify_stateful_pk(suite, pk, msg, ctx, sig);
  });
}

}  // namespace valtorimesca_abi::verify
