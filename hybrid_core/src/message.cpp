#include "valtorimesca/message.hpp"

#include <cstring>

namespace valtorimesca {

namespace message {

CoreResult<size_t> write_m_prime(std::span<uint8_t> buf, std::span<const uint8_t> label, std::span<const uint8_t> msg,
                                 std::span<const uint8_t> ctx) {
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

CoreResult<std::vector<uint8_t>> m_prime(std::span<const uint8_t> label, std::span<const uint8_t> msg,
                                         std::span<const uint8_t> ctx) {
  if (ctx.size() > kMaxContext) return fail(CoreError::context_too_long());
  std::vector<uint8_t> v(label.size() + ctx.size() + msg.size() + 2, 0);
  auto w = write_m_prime(v, label, msg, ctx);
  if (!w) return fail(w.error());
  return v;
}

}  // namespace message
}  // namespace valtorimesca
