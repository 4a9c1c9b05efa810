// The size table of sizes.hpp is written out by hand, as numbers a reader
// of that one file can see (sizes.hpp includes only suite_code.hpp for the
// suite codes, which names no component); here the compiler holds every
// entry to the lengths the components and the composites define.
#include "valtorimesca_abi/sizes.hpp"

#include "valtorimesca/composite.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/encoding_path.hpp"
#include "valtorimesca/shrincs/scheme.hpp"
#include "valtorimesca/stateful_composite.hpp"
#include "valtorimesca/suites.hpp"

namespace valtorimesca_abi {
namespace {

namespace core = valtorimesca;
using core::suites::EdFn512;
using core::suites::EdMl44;
using core::suites::SrFn512;
using core::suites::SrMl44;

// A stateless suite's entry: its composite's key lengths (the stored public
// key is the whole key) and `sig_len`, its composite's signature length.
template <class S>
constexpr bool matches_stateless(SuiteCode c, size_t sig_len) {
  const SuiteSizes s = sizes(c);
  return s.secret_key == core::composite::Lengths<S>::kSecretKey &&
         s.public_key == core::composite::Lengths<S>::kPublicKey && s.stored_public_key == s.public_key &&
         s.signature == sig_len;
}

// The longest stateful signature: the header, then the stateful path at the
// largest leaf capacity a key may have.
constexpr size_t kLongestStatefulSig =
    core::encoding_path::kStatefulHeaderLen + core::shrincs::stateful_sig_len(core::shrincs::kMaxLeafCapacity);

constexpr bool matches_sh(SuiteCode c) {
  namespace sc = core::stateful_composite;
  const SuiteSizes s = sizes(c);
  return s.secret_key == sc::kExportLen && s.public_key == sc::kPublicKeyLen &&
         s.stored_public_key == sc::kStoredPublicKeyLen && s.signature == kLongestStatefulSig;
}

static_assert(matches_stateless<EdMl44>(SuiteCode::ED_ML_44, core::composite::kSignatureLen<EdMl44>));
static_assert(matches_stateless<EdFn512>(SuiteCode::ED_FN_512, core::composite_delta::kSignatureLen<EdFn512>));
static_assert(matches_stateless<SrMl44>(SuiteCode::SR_ML_44, core::composite::kSignatureLen<SrMl44>));
static_assert(matches_stateless<SrFn512>(SuiteCode::SR_FN_512, core::composite_delta::kSignatureLen<SrFn512>));
static_assert(matches_sh(SuiteCode::ED_SH));
static_assert(matches_sh(SuiteCode::SR_SH));
// The stateful composite spells out its classical lengths; they are the
// components' own.
static_assert(core::stateful_composite::kClassicalSecretKeyLen == core::classical::ed25519::kSecretKeyLen &&
              core::stateful_composite::kClassicalSecretKeyLen == core::classical::sr25519::kSecretKeyLen);
static_assert(core::stateful_composite::kClassicalPublicKeyLen == core::classical::ed25519::kPublicKeyLen &&
              core::stateful_composite::kClassicalPublicKeyLen == core::classical::sr25519::kPublicKeyLen);
static_assert(core::stateful_composite::kClassicalSignatureLen == core::classical::ed25519::kSignatureLen &&
              core::stateful_composite::kClassicalSignatureLen == core::classical::sr25519::kSignatureLen);

}  // namespace
}  // namespace valtorimesca_abi
