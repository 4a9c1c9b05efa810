#include "valtorimesca_abi/vrf.hpp"

#include <type_traits>

#include "fault/fault.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/shrincs/scheme.hpp"
#include "valtorimesca/shrincs/suites.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca/vrf.hpp"
#include "valtorimesca/vrf/stateless.hpp"

namespace valtorimesca_abi::vrf {

namespace {

using namespace valtorimesca;
using valtorimesca::suites::EdFn512;
using valtorimesca::suites::EdMl44;
using valtorimesca::suites::SrFn512;
using valtorimesca::suites::SrMl44;
using valtorimesca::shrincs::EdSh;
using valtorimesca::shrincs::SrSh;
using valtorimesca::shrincs::ShrincsScheme;
using valtorimesca::vrf::stateless::DedicatedVrfKey;
using Ed = valtorimesca::classical::ed25519::Ed25519;
using Sr = valtorimesca::classical::sr25519::Sr25519;

constexpr size_t kPre = valtorimesca::vrf::kPreOutputLen;

// Pre-output followed by the classical proof.
template <class C>
constexpr size_t kHeader = kPre + C::kVrfProofLen;

// FN-DSA proofs carry a delta byte between the header and the signature.
template <HybridSuite S>
constexpr bool kDelta = std::is_same_v<typename S::Pq, pq::falcon::Falcon512>;

template <HybridSuite S>
constexpr size_t kProofLen = kHeader<typename S::Classical> + (kDelta<S> ? 1 : 0) + S::Pq::kSignatureLen;

static_assert(kProofLen<EdMl44> == sizes(SuiteCode::ED_ML_44).vrf_proof);
static_assert(kProofLen<EdFn512> == sizes(SuiteCode::ED_FN_512).vrf_proof);
static_assert(kProofLen<SrMl44> == sizes(SuiteCode::SR_ML_44).vrf_proof);
static_assert(kProofLen<SrFn512> == sizes(SuiteCode::SR_FN_512).vrf_proof);

// ED_SH and SR_SH: the flat few-time signature follows the header.
template <class S>
constexpr size_t kShProofLen = kHeader<typename S::Classical> + valtorimesca::shrincs::kStatelessSigLen;

static_assert(kShProofLen<EdSh> == sizes(SuiteCode::ED_SH).vrf_proof);
static_assert(kShProofLen<SrSh> == sizes(SuiteCode::SR_SH).vrf_proof);

AbiError mapped(const CoreError& e) { return from_core(e); }

AbiResult<size_t> count(const CoreResult<size_t>& r) {
  if (r) return *r;
  return abi_fail(mapped(r.error()));
}

[[noreturn]] void bad_code() { fault::raise("suite code outside the six suites"); }

// The post-quantum half of a stateless suite's proof over the binding message,
// written after the header; the delta byte last, once the signature exists.
template <HybridSuite S>
AbiResult<size_t> sign_binding(Bytes pq_sk, const std::array<uint8_t, 32>& binding, MutBytes out) {
  using P = typename S::Pq;
  constexpr size_t header = kHeader<typename S::Classical>;
  constexpr size_t at = header + (kDelta<S> ? 1 : 0);
  auto s = P::sign_deterministic(pq_sk, binding, Bytes{}, out.subspan(at, P::kSignatureLen));
  if (!s) return abi_fail(mapped(s.error()));
  if constexpr (kDelta<S>) out[header] = encoding_delta::kSignerDelta;
  return kProofLen<S>;
}

template <HybridSuite S>
AbiResult<size_t> prove_deterministic(Bytes sk, Bytes input, MutBytes out) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  auto split = valtorimesca::vrf::split_sk(sk, C::kSecretKeyLen + P::kSecretKeyLen, C::kSecretKeyLen);
  if (!split) return abi_fail(mapped(split.error()));
  if (out.size() < kProofLen<S>) return abi_fail(AbiError::OutputBufferTooSmall);
  auto e = C::vrf_evaluate_deterministic(split->classical, S::label(), input, out.first(kPre),
                                         out.subspan(kPre, C::kVrfProofLen));
  if (!e) return abi_fail(mapped(e.error()));
  const auto binding = valtorimesca::vrf::binding_message(S::label(), input, out.first(kPre));
  return sign_binding<S>(split->pq, binding, out);
}

// The classical half of any suite's proof.
template <class C>
subtle::Choice classical_half(Bytes label, Bytes pk, Bytes input, Bytes proof) {
  return C::vrf_verify(pk.first(32), label, input, proof.first(kPre), proof.subspan(kPre, C::kVrfProofLen));
}

template <HybridSuite S>
bool verify_stateless(Bytes pk, Bytes input, Bytes proof) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  constexpr size_t header = kHeader<C>;
  if (pk.size() != composite::Lengths<S>::kPublicKey) return false;
  Bytes sig;
  if constexpr (kDelta<S>) {
    if (proof.size() < header + 1) return false;
    if (proof.size() != header + 1 + composite_delta::kPqBase<S> + proof[header]) return false;
    sig = proof.subspan(header + 1);
  } else {
    if (proof.size() != kProofLen<S>) return false;
    sig = proof.subspan(header);
  }
  const subtle::Choice a = classical_half<C>(S::label(), pk, input, proof);
  const auto binding = valtorimesca::vrf::binding_message(S::label(), input, proof.first(kPre));
  const subtle::Choice b = P::verify(pk.subspan(C::kPublicKeyLen), binding, sig);
  return (a & b).declassify();
}

// Every cheap refusal (buffer, classical half, precheck, budget bound) comes
// before the expensive signature; the unit is spent before it is made.
template <class S>
AbiResult<size_t> prove_stateful_suite(const DedicatedVrfKey& key, budget::BudgetRef store, Bytes input,
                                       MutBytes out) {
  using C = typename S::Classical;
  constexpr size_t header = kHeader<C>;
  if (out.size() < kShProofLen<S>) return abi_fail(AbiError::OutputBufferTooSmall);
  component::OsRng rng;
  auto e = C::vrf_evaluate(key.classical_secret_key(), S::label(), input, rng, out.first(kPre),
                           out.subspan(kPre, C::kVrfProofLen));
  if (!e) return abi_fail(mapped(e.error()));
  const auto binding = valtorimesca::vrf::binding_message(S::label(), input, out.first(kPre));
  constexpr size_t sig_len = valtorimesca::shrincs::kStatelessSigLen;
  auto n = valtorimesca::vrf::stateless::sign_binding_stateless(key, store, binding, out.subspan(header, sig_len));
  if (!n) return abi_fail(mapped(n.error()));
  return kShProofLen<S>;
}

template <class S>
bool verify_stateful_suite(Bytes pk, Bytes input, Bytes proof) {
  using C = typename S::Classical;
  constexpr size_t header = kHeader<C>;
  if (pk.size() != valtorimesca::stateful_composite::kPublicKeyLen || proof.size() != kShProofLen<S>) return false;
  const subtle::Choice a = classical_half<C>(S::label(), pk, input, proof);
  const auto binding = valtorimesca::vrf::binding_message(S::label(), input, proof.first(kPre));
  const subtle::Choice b =
      ShrincsScheme::verify_stateless(pk.subspan(C::kPublicKeyLen), binding, proof.subspan(header));
  return (a & b).declassify();
}

template <class C>
AbiStatus make_bytes(Bytes label, Bytes pk, Bytes input, Bytes proof, Bytes ctx, Output& out) {
  if (pk.size() < 32 || proof.size() < kHeader<C>) return abi_fail(AbiError::BadLength);
  auto r = C::vrf_make_bytes(pk.first(32), label, input, proof.first(kPre), ctx);
  if (!r) return abi_fail(mapped(r.error()));
  out = *r;
  return {};
}

}  // namespace

AbiResult<size_t> vrf_prove(SuiteCode suite, Bytes sk, Bytes input, MutBytes proof_out) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return count(valtorimesca::vrf::sign<EdMl44>(sk, input, proof_out));
    case SuiteCode::ED_FN_512: return count(valtorimesca::vrf::sign_delta<EdFn512>(sk, input, proof_out));
    case SuiteCode::SR_ML_44: return count(valtorimesca::vrf::sign<SrMl44>(sk, input, proof_out));
    case SuiteCode::SR_FN_512: return count(valtorimesca::vrf::sign_delta<SrFn512>(sk, input, proof_out));
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return abi_fail(AbiError::WrongEntryPointForSuite);
  }
  bad_code();
}

AbiResult<size_t> vrf_prove_deterministic(SuiteCode suite, Bytes sk, Bytes input, MutBytes proof_out) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return prove_deterministic<EdMl44>(sk, input, proof_out);
    case SuiteCode::ED_FN_512: return prove_deterministic<EdFn512>(sk, input, proof_out);
    case SuiteCode::SR_ML_44: return prove_deterministic<SrMl44>(sk, input, proof_out);
    case SuiteCode::SR_FN_512: return prove_deterministic<SrFn512>(sk, input, proof_out);
    case SuiteCode::ED_SH:
    case SuiteCode::SR_SH: return abi_fail(AbiError::WrongEntryPointForSuite);
  }
  bad_code();
}

bool vrf_verify(SuiteCode suite, Bytes pk, Bytes input, Bytes proof) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return verify_stateless<EdMl44>(pk, input, proof);
    case SuiteCode::ED_FN_512: return verify_stateless<EdFn512>(pk, input, proof);
    case SuiteCode::SR_ML_44: return verify_stateless<SrMl44>(pk, input, proof);
    case SuiteCode::SR_FN_512: return verify_stateless<SrFn512>(pk, input, proof);
    case SuiteCode::ED_SH: return verify_stateful_suite<EdSh>(pk, input, proof);
    case SuiteCode::SR_SH: return verify_stateful_suite<SrSh>(pk, input, proof);
  }
  return false;
}

AbiStatus vrf_make_bytes(SuiteCode suite, Bytes pk, Bytes input, Bytes proof, Bytes ctx, Output& out) {
  switch (suite) {
    case SuiteCode::ED_ML_44: return make_bytes<Ed>(EdMl44::label(), pk, input, proof, ctx, out);
    case SuiteCode::ED_FN_512: return make_bytes<Ed>(EdFn512::label(), pk, input, proof, ctx, out);
    case SuiteCode::SR_ML_44: return make_bytes<Sr>(SrMl44::label(), pk, input, proof, ctx, out);
    case SuiteCode::SR_FN_512: return make_bytes<Sr>(SrFn512::label(), pk, input, proof, ctx, out);
    case SuiteCode::ED_SH: return make_bytes<Ed>(EdSh::label(), pk, input, proof, ctx, out);
    case SuiteCode::SR_SH: return make_bytes<Sr>(SrSh::label(), pk, input, proof, ctx, out);
  }
  bad_code();
}

struct VrfStatelessKey::Impl {
  SuiteCode suite;
  DedicatedVrfKey key;  // wiped when released
};

VrfStatelessKey::VrfStatelessKey(std::unique_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
VrfStatelessKey::VrfStatelessKey(VrfStatelessKey&&) noexcept = default;
VrfStatelessKey& VrfStatelessKey::operator=(VrfStatelessKey&&) noexcept = default;
VrfStatelessKey::~VrfStatelessKey() = default;

SuiteCode VrfStatelessKey::suite() const noexcept { return impl_->suite; }

AbiResult<VrfStatelessKey> VrfStatelessKey::derive(SuiteCode suite, const Seed32& master_seed, MutBytes pk_out) {
  if (!valtorimesca::suites::is_stateful(suite)) return abi_fail(AbiError::WrongEntryPointForSuite);
  auto derived = suite == SuiteCode::ED_SH ? valtorimesca::vrf::stateless::derive_stateless_key<EdSh>(master_seed)
                                           : valtorimesca::vrf::stateless::derive_stateless_key<SrSh>(master_seed);
  if (!derived) return abi_fail(mapped(derived.error()));
  // The buffer is looked at only now; on a mismatch the new key is
  // released, and wiped, with `derived`.
  const auto& pk = derived->pk.bytes;
  if (pk_out.size() != pk.size()) return abi_fail(AbiError::BadLength);
  std::copy(pk.begin(), pk.end(), pk_out.begin());
  return VrfStatelessKey(std::make_unique<Impl>(Impl{suite, std::move(derived->key)}));
}

namespace detail {

AbiResult<size_t> vrf_prove_stateless(const VrfStatelessKey& key, valtorimesca::budget::BudgetRef store, Bytes input,
                                      MutBytes proof_out) {
  switch (key.suite()) {
    case SuiteCode::ED_SH: return prove_stateful_suite<EdSh>(key.impl().key, store, input, proof_out);
    case SuiteCode::SR_SH: return prove_stateful_suite<SrSh>(key.impl().key, store, input, proof_out);
    default: break;
  }
  fault::raise("dedicated VRF key of a stateless suite");
}

}  // namespace detail

}  // namespace valtorimesca_abi::vrf
