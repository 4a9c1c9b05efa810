#include "valtorimesca_abi/stateless_suites.hpp"

#include "composites.hpp"
#include "suite_dispatch.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/suites.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca_abi::stateless_suites {

using namespace valtorimesca;
using suite_dispatch::with_stateless_suite;

AbiStatus keygen_from_seed(SuiteCode suite, Bytes seed, MutBytes sk_out, MutBytes pk_out) {
  if (seed.size() != kSeedLen) return abi_fail(AbiError::BadLength);
  const derive::Seed master(seed.data());
  return with_stateless_suite(suite, [&](auto s) -> AbiStatus {
    return composites::keypair_from_seed<decltype(s)>(master.array(), sk_out, pk_out);
  });
}

AbiResult<size_t> sign(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, MutBytes sig_out) {
  component::OsRng rng;
  return with_stateless_suite(
      suite, [&](auto s) -> AbiResult<size_t> { return composites::sign<decltype(s)>(sk, msg, ctx, rng, sig_out); });
}

AbiResult<size_t> sign_deterministic(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes sig_out) {
  return with_stateless_suite(suite, [&](auto s) -> AbiResult<size_t> {
    return composites::sign_deterministic<decltype(s)>(sk, msg, ctx, nonce, sig_out);
  });
}

}  // namespace valtorimesca_abi::stateless_suites
