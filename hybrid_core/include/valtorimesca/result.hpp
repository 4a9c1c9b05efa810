// A value or an error kind; nothing in the core throws across layers.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>

namespace valtorimesca {

template <class E>
struct Err {
  E error;
};
template <class E>
Err(E) -> Err<E>;

template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T v) : v_(std::move(v)), ok_(true) {}  // NOLINT(google-explicit-constructor)
  template <class F, class = std::enable_if_t<std::is_convertible_v<F, E>>>
  Result(Err<F> e) : e_(std::move(e.error)), ok_(false) {}  // NOLINT
  Result(const Result&) = default;
  Result(Result&&) noexcept = default;
  Result& operator=(const Result&) = default;
  Result& operator=(Result&&) noexcept = default;

  bool ok() const noexcept { return ok_; }
  explicit operator bool() const noexcept { return ok_; }
  T& value() & { return *v_; }
  const T& value() const& { return *v_; }
  T&& value() && { return std::move(*v_); }
  T& operator*() & { return *v_; }
  const T& operator*() const& { return *v_; }
  T* operator->() { return &*v_; }
  const T* operator->() const { return &*v_; }
  const E& error() const { return *e_; }

 private:
  std::optional<T> v_;
  std::optional<E> e_;
  bool ok_;
};

template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() : ok_(true) {}
  template <class F, class = std::enable_if_t<std::is_convertible_v<F, E>>>
  Result(Err<F> e) : e_(std::move(e.error)), ok_(false) {}  // NOLINT
  bool ok() const noexcept { return ok_; }
  explicit operator bool() const noexcept { return ok_; }
  const E& error() const { return *e_; }

 private:
  std::optional<E> e_;
  bool ok_;
};

}  // namespace valtorimesca
