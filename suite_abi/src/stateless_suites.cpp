#include "valtorimesca_abi/stateless_suites.hpp"

#include "suite_dispatch.hpp"
#include "valtorimesca/composite_delta.hpp"
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
    using S = decltype(s);
    if constexpr (DeltaSuite<S>)
      return from_core(composite_delta::keypair_from_seed<S>(master.array(), sk_out, pk_out));
    else
      return from_core(composite::keypair_from_seed<S>(master.array(), sk_out, pk_out));
  });
}

AbiResult<size_t> sign(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, MutBytes sig_out) {
  component::OsRng rng;
  return with_stateless_suite(suite, [&](auto s) -> AbiResult<size_t> {
    using S = decltype(s);
    if constexpr (DeltaSuite<S>)
      return from_core(composite_delta::sign<S>(sk, msg, ctx, rng, sig_out));
    else
      return from_core(composite::sign<S>(sk, msg, ctx, rng, sig_out), composite::kSignatureLen<S>);
  });
}

AbiResult<size_t> sign_deterministic(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, Bytes nonce, MutBytes sig_out) {
  return with_stateless_suite(suite, [&](auto s) -> AbiResult<size_t> {
    using S = decltype(s);
    if constexpr (DeltaSuite<S>)
      return from_core(composite_delta::sign_deterministic<S>(sk, msg, ctx, nonce, sig_out));
    else
      return from_core(composite::sign_deterministic<S>(sk, msg, ctx, nonce, sig_out), composite::kSignatureLen<S>);
  });
}

}  // namespace valtorimesca_abi::stateless_suites
