// The verification dispatcher of all six suites.
#pragma once

#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::verify {

// The verdict for any suite; every fault answers false. ED_SH and SR_SH
// accept only signatures made on the stateful path.
bool verify(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig);

}  // namespace valtorimesca_abi::verify
