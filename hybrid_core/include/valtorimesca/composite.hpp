#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

#include "valtorimesca/error.hpp"
#include "valtorimesca/message.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::composite {

inline constexpr size_t kStackRepresentative = 512;

namespace detail {
template <class R>
struct is_core_result : std::false_type {};
template <class T>
struct is_core_result<Result<T, CoreError>> : std::true_type {};

// Wipes a scratch region when the scope ends, on every return path.
struct ScratchWiper {
  uint8_t* p;
  size_t n;
  ~ScratchWiper() { zeroize::wipe(p, n); }
};
}  // namespace detail

// Builds the message representative in a scratch buffer (512 bytes on the
// stack, the exact size on the heap above that), runs body on it and wipes
// the scratch buffer before returning. Note the argument order: msg, ctx.
template <class Body>
auto with_m_prime(std::span<const uint8_t> label, std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
                  Body&& body) -> decltype(body(std::span<const uint8_t>{})) {
  using R = decltype(body(std::span<const uint8_t>{}));
  static_assert(detail::is_core_result<R>::value, "body must return a CoreResult");
  if (ctx.size() > message::kMaxContext) return fail(CoreError::context_too_long());
  const size_t n = label.size() + msg.size() + ctx.size() + 2;
  if (n <= kStackRepresentative) {
    std::array<uint8_t, kStackRepresentative> buf{};
    detail::ScratchWiper wiper{buf.data(), buf.size()};
    auto w = message::write_m_prime(std::span<uint8_t>(buf.data(), n), label, ctx, msg);
    if (!w) return fail(w.error());
    return body(std::span<const uint8_t>(buf.data(), n));
  }
  std::unique_ptr<uint8_t[]> heap(new uint8_t[n]());
  detail::ScratchWiper wiper{heap.get(), n};
  auto w = message::write_m_prime(std::span<uint8_t>(heap.get(), n), label, ctx, msg);
  if (!w) return fail(w.error());
  return body(std::span<const uint8_t>(heap.get(), n));
}

}  // namespace valtorimesca::composite
