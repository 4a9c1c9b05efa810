// The hybrid VRF: a classical VRF evaluation whose pre-output is bound, with
// the suite and the input, into a message the post-quantum half signs.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "subtle/subtle.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/encoding_delta.hpp"
#include "valtorimesca/error.hpp"
#include "valtorimesca/suites.hpp"

namespace valtorimesca::vrf {

using component::Bytes;
using component::MutBytes;

inline constexpr size_t kPreOutputLen = 32;
inline constexpr size_t kOutputLen = 32;
using PreOutput = std::array<uint8_t, kPreOutputLen>;
using Output = std::array<uint8_t, kOutputLen>;

template <HybridSuite S>
requires component::ClassicalVrf<typename S::Classical>
struct ProofLayout {
  using C = typename S::Classical;
  using P = typename S::Pq;
  static constexpr size_t kHeader = kPreOutputLen + C::kVrfProofLen;
};

struct SplitKey {
  Bytes classical;
  Bytes pq;
};

// Views of the classical and post-quantum parts of a composite secret key.
CoreResult<SplitKey> split_sk(Bytes sk, size_t expected, size_t classical_len) noexcept;

// SHA-256 over the framed label, input and pre-output.
std::array<uint8_t, 32> binding_message(Bytes label, Bytes input, Bytes pre_output);

namespace detail {

// Steps shared by both provers: key split, buffer test, classical
// evaluation into the header, binding message.
template <HybridSuite S>
CoreResult<SplitKey> prove_header(Bytes sk, Bytes input, MutBytes out, size_t total, std::array<uint8_t, 32>& binding) {
  using C = typename S::Classical;
  using P = typename S::Pq;
  constexpr size_t header = ProofLayout<S>::kHeader;
  auto split = split_sk(sk, C::kSecretKeyLen + P::kSecretKeyLen, C::kSecretKeyLen);
  if (!split) return split;
  if (out.size() < total) return fail(CoreError::output_buffer_too_small(total, out.size()));
  component::OsRng rng;
  auto e = C::vrf_evaluate(split->classical, S::label(), input, rng, out.first(kPreOutputLen),
                           out.subspan(kPreOutputLen, header - kPreOutputLen));
  if (!e) return fail(e.error());
  binding = binding_message(S::label(), input, out.first(kPreOutputLen));
  return split;
}

}  // namespace detail

// Hedged prover of the four stateless suites; answers the proof length. For
// the FN-DSA suites the delta byte follows the header.
template <HybridSuite S>
requires component::ClassicalVrf<typename S::Classical> CoreResult<size_t> sign(Bytes sk, Bytes input, MutBytes out) {
  using P = typename S::Pq;
  constexpr bool delta = DeltaSuite<S>;
  constexpr size_t header = ProofLayout<S>::kHeader;
  constexpr size_t pq_offset = header + (delta ? 1 : 0);
  constexpr size_t total = pq_offset + P::kSignatureLen;
  std::array<uint8_t, 32> binding{};
  auto split = detail::prove_header<S>(sk, input, out, total, binding);
  if (!split) return fail(split.error());
  auto p = P::sign_deterministic(split->pq, binding, Bytes{}, out.subspan(pq_offset, P::kSignatureLen));
  if (!p) return fail(p.error());
  if constexpr (delta) out[header] = encoding_delta::kSignerDelta;
  return total;
}

}  // namespace valtorimesca::vrf
