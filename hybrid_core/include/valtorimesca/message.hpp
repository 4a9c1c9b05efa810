// The message representative both halves of a hybrid signature sign:
// 0x01 || suite label (with zero byte) || ctx length (1 byte) || ctx || msg.
//
// Argument order, here and through every layer: message before context
// (`msg, ctx`), as in the public `sign(suite, sk, msg, ctx)`.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "valtorimesca/error.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::message {

inline constexpr size_t kMaxContext = 255;
// Representatives up to this length are built on the stack.
inline constexpr size_t kStackRepresentative = 512;

// Writes the representative into the front of buf; returns its length.
CoreResult<size_t> write_m_prime(std::span<uint8_t> buf, std::span<const uint8_t> label, std::span<const uint8_t> msg,
                                 std::span<const uint8_t> ctx);

// The representative as a new vector of exactly its length.
CoreResult<std::vector<uint8_t>> m_prime(std::span<const uint8_t> label, std::span<const uint8_t> msg,
                                         std::span<const uint8_t> ctx);

namespace detail {
template <class R>
struct is_core_result : std::false_type {};
template <class T>
struct is_core_result<Result<T, CoreError>> : std::true_type {};
}  // namespace detail

// Builds the representative in a scratch buffer (on the stack up to
// kStackRepresentative bytes, the exact size on the heap above that), runs
// body on it and wipes the buffer on every return path.
template <class Body>
auto with_m_prime(std::span<const uint8_t> label, std::span<const uint8_t> msg, std::span<const uint8_t> ctx,
                  Body&& body) -> decltype(body(std::span<const uint8_t>{})) {
  using R = decltype(body(std::span<const uint8_t>{}));
  static_assert(detail::is_core_result<R>::value, "body must return a CoreResult");
  if (ctx.size() > kMaxContext) return fail(CoreError::context_too_long());
  const size_t n = label.size() + msg.size() + ctx.size() + 2;
  if (n <= kStackRepresentative) {
    zeroize::Wiped<std::array<uint8_t, kStackRepresentative>> buf;
    auto w = write_m_prime(std::span<uint8_t>(buf->data(), n), label, msg, ctx);
    if (!w) return fail(w.error());
    return body(std::span<const uint8_t>(buf->data(), n));
  }
  zeroize::SecretBytes heap(n);
  auto w = write_m_prime(heap.span(), label, msg, ctx);
  if (!w) return fail(w.error());
  return body(std::span<const uint8_t>(heap.span()));
}

}  // namespace valtorimesca::message
