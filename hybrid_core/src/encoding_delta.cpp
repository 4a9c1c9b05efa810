#include "valtorimesca/encoding_delta.hpp"

namespace valtorimesca::encoding_delta {

CoreResult<Decoded> decode_delta(std::span<const uint8_t> sig, size_t base) noexcept {
  if (sig.size() < kHeaderLen) return fail(CoreError::bad_length(kHeaderLen, sig.size()));
  const size_t d = sig[kClassicalLen];
  if (base > SIZE_MAX - d) return fail(CoreError::delta_length_out_of_range());
  const size_t len = base + d;
  const size_t rest = sig.size() - kHeaderLen;
  if (rest < len) return fail(CoreError::bad_length(len, rest));
  if (rest > len) return fail(CoreError::trailing_bytes(len + kHeaderLen, sig.size()));
  return Decoded{sig.first(kClassicalLen), sig.subspan(kHeaderLen, len)};
}

}  // namespace valtorimesca::encoding_delta
