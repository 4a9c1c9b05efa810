#include "valtorimesca/message.hpp"

#include <cstring>

#include "valtorimesca/suites.hpp"

namespace valtorimesca {

namespace suites {
std::span<const uint8_t> label_of(SuiteCode code) noexcept {
  switch (code) {
    case SuiteCode::ED_ML_44: return label_bytes(kLabelEdMl44);
    case SuiteCode::ED_FN_512: return label_bytes(kLabelEdFn512);
    case SuiteCode::SR_ML_44: return label_bytes(kLabelSrMl44);
    case SuiteCode::SR_FN_512: return label_bytes(kLabelSrFn512);
    case SuiteCode::ED_SH: return label_bytes(kLabelEdSh);
    case SuiteCode::SR_SH: return label_bytes(kLabelSrSh);
  }
  return {};
}
}  // namespace suites

namespace message {

CoreResult<size_t> write_m_prime(std::span<uint8_t> buf, std::span<const uint8_t> label,
                                 std::span<const uint8_t> ctx, std::span<const uint8_t> msg) {
  if (ctx.size() > kMaxContext) return fail(CoreError::context_too_long());
  const size_t n = label.size() + ctx.size() + msg.size() + 2;
  if (buf.size() < n) return fail(CoreError::output_buffer_too_small(n, buf.size()));
  uint8_t* p = buf.data();
  *p++ = 0x01;
  if (!label.empty()) std::memcpy(p, label.data(), label.size());
  p += label.size();
  *p++ = static_cast<uint8_t>(ctx.size());
  if (!ctx.empty()) std::memcpy(p, ctx.data(), ctx.size());
  p += ctx.size();
  if (!msg.empty()) std::memcpy(p, msg.data(), msg.size());
  return n;
}

CoreResult<std::vector<uint8_t>> m_prime(std::span<const uint8_t> label, std::span<const uint8_t> ctx,
                                         std::span<const uint8_t> msg) {
  if (ctx.size() > kMaxContext) return fail(CoreError::context_too_long());
  std::vector<uint8_t> v(label.size() + ctx.size() + msg.size() + 2, 0);
  auto w = write_m_prime(v, label, ctx, msg);
  if (!w) return fail(w.error());
  return v;
}

}  // namespace message
}  // namespace valtorimesca
