// The Ed25519 side of the classical VRF interface: input framing and the
// derivation of output bytes.
#include <array>

#include "sha2/hmac.hpp"
#include "sha2/sha2.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/ed25519/vrf_impl.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::classical::ed25519 {

namespace {

// "valtorimesca/ovrf-cobalt25/fold-octet/v1" with its zero byte (41 bytes).
constexpr char kOutputSalt[] = "valtorimesca/ovrf-cobalt25/fold-octet/v1";
static_assert(sizeof(kOutputSalt) == 41);

// alpha = BE64(|label|) || label || BE64(|input|) || input, as four chunks.
struct FramedInput {
  std::array<uint8_t, 8> label_len;
  std::array<uint8_t, 8> input_len;
  std::array<std::span<const uint8_t>, 4> chunks;

  FramedInput(std::span<const uint8_t> label, std::span<const uint8_t> input) noexcept
      : label_len(sha2::be64(label.size())),
        input_len(sha2::be64(input.size())),
        chunks{std::span<const uint8_t>(label_len), label, std::span<const uint8_t>(input_len), input} {}
  FramedInput(const FramedInput&) = delete;
  FramedInput& operator=(const FramedInput&) = delete;

  vrf_impl::Chunks view() const noexcept { return chunks; }
};

}  // namespace

CoreStatus Ed25519::vrf_evaluate_deterministic(std::span<const uint8_t> sk, std::span<const uint8_t> label,
                                               std::span<const uint8_t> input, std::span<uint8_t> pre_out,
                                               std::span<uint8_t> proof_out) {
  const FramedInput alpha(label, input);
  return vrf_impl::prove(sk, alpha.view(), pre_out, proof_out);
}

subtle::Choice Ed25519::vrf_verify(std::span<const uint8_t> pk, std::span<const uint8_t> label,
                                   std::span<const uint8_t> input, std::span<const uint8_t> pre_output,
                                   std::span<const uint8_t> proof) {
  const FramedInput alpha(label, input);
  return vrf_impl::verify_proof(pk, alpha.view(), pre_output, proof);
}

CoreResult<std::array<uint8_t, 32>> Ed25519::vrf_make_bytes(std::span<const uint8_t> pk, std::span<const uint8_t> label,
                                                            std::span<const uint8_t> input,
                                                            std::span<const uint8_t> pre_output,
                                                            std::span<const uint8_t> context) {
  edwards::ensure_library_ready();
  const auto y = vrf_impl::string_to_point(pk);
  if (!y || edwards::is_small_order(*y)) return fail(CoreError::component_failure());
  const auto gamma = vrf_impl::string_to_point(pre_output);
  if (!gamma) return fail(CoreError::component_failure());
  const std::array<uint8_t, 64> beta = vrf_impl::proof_to_hash(*gamma);

  // HKDF-SHA512 (RFC 5869) salted with the output label, over the VRF hash,
  // expanded under the framed label, input and context.
  sha2::Hkdf hkdf(sha2::Hash::Sha512,
                  std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kOutputSalt), sizeof(kOutputSalt)), beta);
  const auto label_len = sha2::be64(label.size());
  const auto input_len = sha2::be64(input.size());
  const auto context_len = sha2::be64(context.size());
  std::array<uint8_t, 32> out;
  hkdf.expand({label_len, label, input_len, input, context_len, context}, out);
  return out;
}

}  // namespace valtorimesca::classical::ed25519
