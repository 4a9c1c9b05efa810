#include "valtorimesca/vrf.hpp"

#include "fault/fault.hpp"
#include "sha2/sha2.hpp"

namespace valtorimesca::vrf {

namespace {
constexpr char kBindingLabel[] = "valtorimesca/hybrid-vrf/v1";  // with its zero byte: 27
}  // namespace

CoreResult<SplitKey> split_sk(Bytes sk, size_t expected, size_t classical_len) noexcept {
  if (sk.size() != expected) return fail(CoreError::bad_length(expected, sk.size()));
  return SplitKey{sk.first(classical_len), sk.subspan(classical_len)};
}

std::array<uint8_t, 32> binding_message(Bytes label, Bytes input, Bytes pre_output) {
  fault::check(pre_output.size() == kPreOutputLen, "pre-output must be 32 bytes");
  return sha2::Sha256()
      .update(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kBindingLabel), sizeof kBindingLabel))
      .update_framed(label)
      .update_framed(input)
      .update(pre_output)
      .finish();
}

}  // namespace valtorimesca::vrf
