#include "valtorimesca_abi/vrf.hpp"

#include "subtle/subtle.hpp"
#include "suite_dispatch.hpp"
#include "valtorimesca/composite.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/shrincs/scheme.hpp"
#include "valtorimesca/shrincs/suites.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca/vrf.hpp"
#include "valtorimesca/vrf/stateless.hpp"

namespace valtorimesca_abi::vrf {

namespace {

using namespace valtorimesca;
using suite_dispatch::EdFn512;
using suite_dispatch::EdMl44;
using suite_dispatch::EdSh;
using suite_dispatch::SrFn512;
using suite_dispatch::SrMl44;
using suite_dispatch::SrSh;
using valtorimesca::shrincs::ShrincsScheme;
using valtorimesca::vrf::stateless::DedicatedVrfKey;

constexpr size_t kPre = valtorimesca::vrf::kPreOutputLen;

// Pre-output followed by the classical proof.
template <class C>
constexpr size_t kHeader = kPre + C::kVrfProofLen;

template <HybridSuite S>
constexpr size_t kProofLen = kHeader<typename S::Classical> + (DeltaSuite<S> ? 1 : 0) + S::Pq::kSignatureLen;

static_assert(kProofLen<EdMl44> == sizes(SuiteCode::ED_ML_44).vrf_proof);
static_assert(kProofLen<EdFn512> == sizes(SuiteCode::ED_FN_512).vrf_proof);
static_assert(kProofLen<SrMl44> == sizes(SuiteCode::SR_ML_44).vrf_proof);
static_assert(kProofLen<SrFn512> == sizes(SuiteCode::SR_FN_512).vrf_proof);

// ED_SH and SR_SH: the flat few-time signature follows the header.
template <class S>
constexpr size_t kShProofLen = kHeader<typename S::Classical> + valtorimesca::shrincs::kStatelessSigLen;

static_assert(kShProofLen<EdSh> == sizes(SuiteCode::ED_SH).vrf_proof);
static_assert(kShProofLen<SrSh> == sizes(SuiteCode::SR_SH).vrf_proof);

// The post-quantum half of a stateless suite's proof over the binding message,
// written after the header; the delta byte last, once the signature exists.
template <HybridSuite S>
AbiResult<size_t> sign_binding(Bytes pq_sk, const std::array<uint8_t, 32>& binding, MutBytes out) {
  using P = typename S::Pq;
  constexpr size_t header = kHeader<typename S::Classical>;
  constexpr size_t at = header + (DeltaSuite<S> ? 1 : 0);
  auto s = P::sign_deterministic(pq_sk, binding, Bytes{}, out.subspan(at, P::kSignatureLen));
  if (!s) return abi_fail(from_core(s.error()));
  if constexpr (DeltaSuite<S>) out[header] = encoding_delta::kSignerDelta;
  return kProofLen<S>;
}

template <HybridSuite S>
AbiResult<size_t> prove_deterministic(Bytes sk, Bytes input, MutBytes out) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  auto split = valtorimesca::vrf::split_sk(sk, C::kSecretKeyLen + P::kSecretKeyLen, C::kSecretKeyLen);
  if (!split) return abi_fail(from_core(split.error()));
  if (out.size() < kProofLen<S>) return abi_fail(AbiError::OutputBufferTooSmall);
  auto e = C::vrf_evaluate_deterministic(split->classical, S::label(), input, out.first(kPre),
                                         out.subspan(kPre, C::kVrfProofLen));
  if (!e) return abi_fail(from_core(e.error()));
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
  if constexpr (DeltaSuite<S>) {
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

// Every cheap refusal (buffer, classical half, action words, budget bound) comes
// before the expensive signature; the unit is spent before it is made.
template <class S>
AbiResult<size_t> prove_stateful_suite(const DedicatedVrfKey& key, budget::BudgetRef store, Bytes input, MutBytes out) {
  using C = typename S::Classical;
  constexpr size_t header = kHeader<C>;
  if (out.size() < kShProofLen<S>) return abi_fail(AbiError::OutputBufferTooSmall);
  component::OsRng rng;
  auto e = C::vrf_evaluate(key.classical_secret_key(), S::label(), input, rng, out.first(kPre),
                           out.subspan(kPre, C::kVrfProofLen));
  if (!e) return abi_fail(from_core(e.error()));
  const auto binding = valtorimesca::vrf::binding_message(S::label(), input, out.first(kPre));
  constexpr size_t sig_len = valtorimesca::shrincs::kStatelessSigLen;
  auto n = valtorimesca::vrf::stateless::sign_binding_stateless(key, store, binding, out.subspan(header, sig_len));
  if (!n) return abi_fail(from_core(n.error()));
  return kShProofLen<S>;
}

template <class S>
bool verify_stateful_suite(Bytes pk, Bytes input, Bytes proof) {
  using C = typename S::Classical;
  constexpr size_t header = kHeader<C>;
  if (pk.size() != valtorimesca::stateful_composite::kPublicKeyLen || proof.size() != kShProofLen<S>) return false;
  const subtle::Choice a = classical_half<C>(S::label(), pk, input, proof);
  const auto binding = valtorimesca::vrf::binding_message(S::label(), input, proof.first(kPre));
  // Words with a zero digest answer no, as the engine's verifier would.
  const auto action = ShrincsScheme::acceptable_action(binding);
  if (!action) return false;
  const subtle::Choice b =
      ShrincsScheme::verify_stateless(pk.subspan(C::kPublicKeyLen), *action, proof.subspan(header));
  return (a & b).declassify();
}

template <class C>
AbiStatus make_bytes(Bytes label, Bytes pk, Bytes input, Bytes proof, Bytes ctx, Output& out) {
  if (pk.size() < 32 || proof.size() < kHeader<C>) return abi_fail(AbiError::BadLength);
  auto r = C::vrf_make_bytes(pk.first(32), label, input, proof.first(kPre), ctx);
  if (!r) return abi_fail(from_core(r.error()));
  out = *r;
  return {};
}

}  // namespace

AbiResult<size_t> vrf_prove(SuiteCode suite, Bytes sk, Bytes input, MutBytes proof_out) {
  return suite_dispatch::with_stateless_suite(suite, [&](auto s) -> AbiResult<size_t> {
    return from_core(valtorimesca::vrf::sign<decltype(s)>(sk, input, proof_out));
  });
}

AbiResult<size_t> vrf_prove_deterministic(SuiteCode suite, Bytes sk, Bytes input, MutBytes proof_out) {
  return suite_dispatch::with_stateless_suite(
      suite, [&](auto s) -> AbiResult<size_t> { return prove_deterministic<decltype(s)>(sk, input, proof_out); });
}

bool vrf_verify(SuiteCode suite, Bytes pk, Bytes input, Bytes proof) {
  if (!suite_dispatch::is_known(suite)) return false;
  return suite_dispatch::with_suite(suite, [&](auto s) -> bool {
    using S = decltype(s);
    if constexpr (HybridSuite<S>)
      return verify_stateless<S>(pk, input, proof);
    else
      return verify_stateful_suite<S>(pk, input, proof);
  });
}

AbiStatus vrf_make_bytes(SuiteCode suite, Bytes pk, Bytes input, Bytes proof, Bytes ctx, Output& out) {
  return suite_dispatch::with_suite(suite, [&](auto s) -> AbiStatus {
    using S = decltype(s);
    return make_bytes<typename S::Classical>(S::label(), pk, input, proof, ctx, out);
  });
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
  auto derived = suite_dispatch::with_stateful_suite(
      suite, [&](auto s) { return valtorimesca::vrf::stateless::derive_stateless_key<decltype(s)>(master_seed); });
  if (!derived) return abi_fail(from_core(derived.error()));
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
  return suite_dispatch::with_stateful_suite(key.suite(), [&](auto s) -> AbiResult<size_t> {
    return prove_stateful_suite<decltype(s)>(key.impl().key, store, input, proof_out);
  });
}

}  // namespace detail

}  // namespace valtorimesca_abi::vrf
