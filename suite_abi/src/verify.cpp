#include "valtorimesca_abi/verify.hpp"

#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

namespace valtorimesca_abi {

using namespace valtorimesca;
using valtorimesca::suites::EdFn512;
using valtorimesca::suites::EdMl44;
using valtorimesca::suites::SrFn512;
using valtorimesca::suites::SrMl44;

namespace verify {

bool verify(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return composite::verify<EdMl44>(pk, msg, ctx, sig);
    case SuiteCode::ED_FN_512: return composite_delta::verify<EdFn512>(pk, msg, ctx, sig);
    case SuiteCode::SR_ML_44: return composite::verify<SrMl44>(pk, msg, ctx, sig);
    case SuiteCode::SR_FN_512: return composite_delta::verify<SrFn512>(pk, msg, ctx, sig);
    // The stateful suites accept only stateful-path signatures here.
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return stateful_suites::verify_stateful_pk(suite, pk, msg, ctx, sig);
  }
  return false;
}

}  // namespace verify

}  // namespace valtorimesca_abi
