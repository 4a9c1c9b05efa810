// Entry points of the four stateless suites: key generation from a master
// seed, hedged and deterministic signing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::stateless_suites {

AbiStatus keygen_from_seed(SuiteCode suite, Bytes seed, MutBytes sk_out, MutBytes pk_out);
// Hedged signing with the operating system's generator; counts the bytes written.
AbiResult<size_t> sign(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, MutBytes sig_out);
AbiResult<size_t> sign_deterministic(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes sig_out);

}  // namespace valtorimesca_abi::stateless_suites
