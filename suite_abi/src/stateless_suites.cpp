#include "valtorimesca_abi/stateless_suites.hpp"

#include "fault/fault.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/suites.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca_abi {

namespace {

using namespace valtorimesca;
using valtorimesca::suites::EdFn512;
using valtorimesca::suites::EdMl44;
using valtorimesca::suites::SrFn512;
using valtorimesca::suites::SrMl44;

AbiStatus status(const CoreStatus& s) {
  if (s) return {};
  return abi_fail(from_core(s.error()));
}

AbiResult<size_t> count(const CoreResult<size_t>& r) {
  if (r) return *r;
  return abi_fail(from_core(r.error()));
}

AbiResult<size_t> count_fixed(const CoreStatus& s, size_t n) {
  if (s) return n;
  return abi_fail(from_core(s.error()));
}

[[noreturn]] void bad_code() { fault::raise("suite code outside the six suites"); }

}  // namespace

namespace stateless_suites {

AbiStatus keygen_from_seed(SuiteCode suite, Bytes seed, MutBytes sk_out, MutBytes pk_out) {
  if (seed.size() != kSeedLen) return abi_fail(AbiError::BadLength);
  const derive::Seed master(seed.data());
  switch (suite) {
    case SuiteCode::ED_ML_44: return status(composite::keypair_from_seed<EdMl44>(master.array(), sk_out, pk_out));
    case SuiteCode::ED_FN_512:
      return status(composite_delta::keypair_from_seed<EdFn512>(master.array(), sk_out, pk_out));
    case SuiteCode::SR_ML_44: return status(composite::keypair_from_seed<SrMl44>(master.array(), sk_out, pk_out));
    case SuiteCode::SR_FN_512:
      return status(composite_delta::keypair_from_seed<SrFn512>(master.array(), sk_out, pk_out));
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return abi_fail(AbiError::WrongEntryPointForSuite);
  }
  bad_code();
}

AbiResult<size_t> sign(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, MutBytes sig_out) {
  component::OsRng rng;
  switch (suite) {
    case SuiteCode::ED_ML_44:
      return count_fixed(composite::sign<EdMl44>(sk, msg, ctx, rng, sig_out), composite::kSignatureLen<EdMl44>);
    case SuiteCode::ED_FN_512: return count(composite_delta::sign<EdFn512>(sk, msg, ctx, rng, sig_out));
    case SuiteCode::SR_ML_44:
      return count_fixed(composite::sign<SrMl44>(sk, msg, ctx, rng, sig_out), composite::kSignatureLen<SrMl44>);
    case SuiteCode::SR_FN_512: return count(composite_delta::sign<SrFn512>(sk, msg, ctx, rng, sig_out));
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return abi_fail(AbiError::WrongEntryPointForSuite);
  }
  bad_code();
}

AbiResult<size_t> sign_deterministic(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, Bytes nonce,
                                     MutBytes sig_out) {
  switch (suite) {
    case SuiteCode::ED_ML_44:
      return count_fixed(composite::sign_deterministic<EdMl44>(sk, msg, ctx, nonce, sig_out),
                         composite::kSignatureLen<EdMl44>);
    case SuiteCode::ED_FN_512:
      return count(composite_delta::sign_deterministic<EdFn512>(sk, msg, ctx, nonce, sig_out));
    case SuiteCode::SR_ML_44:
      return count_fixed(composite::sign_deterministic<SrMl44>(sk, msg, ctx, nonce, sig_out),
                         composite::kSignatureLen<SrMl44>);
    case SuiteCode::SR_FN_512:
      return count(composite_delta::sign_deterministic<SrFn512>(sk, msg, ctx, nonce, sig_out));
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return abi_fail(AbiError::WrongEntryPointForSuite);
  }
  bad_code();
}

}  // namespace stateless_suites

}  // namespace valtorimesca_abi
