// Wiping of secret memory: writes that the optimiser may not remove
// (libsodium's sodium_memzero), and holders that wipe what they own when
// they are released.
#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace zeroize {

inline void wipe(void* p, size_t n) noexcept {
  if (n != 0) sodium_memzero(p, n);
}

template <class T>
inline void wipe_object(T& v) noexcept {
  static_assert(std::is_trivially_copyable_v<T>);
  wipe(&v, sizeof(T));
}

// Wipes the whole allocation of a vector (spare capacity included).
template <class T>
inline void wipe_vector(std::vector<T>& v) noexcept {
  static_assert(std::is_trivially_copyable_v<T>);
  if (v.capacity() != 0) wipe(v.data(), v.capacity() * sizeof(T));
}

// Three holders, one per way a secret is kept:
// - Wiped<T>: one value in place, never copied;
// - SecretArray<N>: fixed-size bytes that may be copied (each copy wipes
//   itself);
// - SecretVector<T>: a growable buffer, moved but never copied.

// Holds a trivially copyable value and wipes it on destruction.
template <class T>
class Wiped {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  Wiped() noexcept : v_{} {}
  explicit Wiped(const T& v) noexcept : v_(v) {}
  // Leaves the value uninitialised: for a large working state whose every
  // field is written before it is read, where zeroing it first would cost
  // as much as the wipe.
  struct Uninitialised {};
  explicit Wiped(Uninitialised) noexcept {}
  ~Wiped() { wipe(&v_, sizeof(T)); }
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;

  T& get() noexcept { return v_; }
  const T& get() const noexcept { return v_; }
  T* operator->() noexcept { return &v_; }
  const T* operator->() const noexcept { return &v_; }

 private:
  T v_;
};

// A fixed-size secret byte array, wiped on destruction.
template <size_t N>
class SecretArray {
 public:
  SecretArray() noexcept : a_{} {}
  explicit SecretArray(const uint8_t* src) noexcept { std::memcpy(a_.data(), src, N); }
  // Takes over a temporary (a freshly derived seed, say) and wipes it, so
  // that no unwiped copy is left behind.
  explicit SecretArray(std::array<uint8_t, N>&& a) noexcept : a_(a) { zeroize::wipe(a.data(), N); }
  ~SecretArray() { wipe(); }
  SecretArray(const SecretArray& o) noexcept : a_(o.a_) {}
  SecretArray& operator=(const SecretArray& o) noexcept {
    a_ = o.a_;
    return *this;
  }

  uint8_t* data() noexcept { return a_.data(); }
  const uint8_t* data() const noexcept { return a_.data(); }
  static constexpr size_t size() noexcept { return N; }
  uint8_t& operator[](size_t i) noexcept { return a_[i]; }
  const uint8_t& operator[](size_t i) const noexcept { return a_[i]; }
  std::span<uint8_t, N> span() noexcept { return std::span<uint8_t, N>(a_); }
  std::span<const uint8_t, N> span() const noexcept { return std::span<const uint8_t, N>(a_); }
  std::array<uint8_t, N>& array() noexcept { return a_; }
  const std::array<uint8_t, N>& array() const noexcept { return a_; }
  void wipe() noexcept { zeroize::wipe(a_.data(), N); }

 private:
  std::array<uint8_t, N> a_;
};

// A growable secret buffer of trivially copyable elements; its whole
// allocation is wiped before it is released or outgrown.
template <class T>
class SecretVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  SecretVector() = default;
  explicit SecretVector(size_t n) : v_(n, T{}) {}
  SecretVector(const T* p, size_t n) : v_(p, p + n) {}
  explicit SecretVector(std::span<const T> s) : v_(s.begin(), s.end()) {}
  ~SecretVector() { wipe_vector(v_); }
  SecretVector(const SecretVector&) = delete;
  SecretVector& operator=(const SecretVector&) = delete;
  SecretVector(SecretVector&& o) noexcept : v_(std::move(o.v_)) {}
  SecretVector& operator=(SecretVector&& o) noexcept {
    if (this != &o) {
      wipe_vector(v_);
      v_ = std::move(o.v_);
    }
    return *this;
  }

  T* data() noexcept { return v_.data(); }
  const T* data() const noexcept { return v_.data(); }
  size_t size() const noexcept { return v_.size(); }
  bool empty() const noexcept { return v_.empty(); }
  T& operator[](size_t i) noexcept { return v_[i]; }
  const T& operator[](size_t i) const noexcept { return v_[i]; }
  std::span<T> span() noexcept { return v_; }
  std::span<const T> span() const noexcept { return v_; }
  void clear() noexcept {
    wipe_vector(v_);
    v_.clear();
  }
  // Appends one zeroed element and returns it. Growing moves the elements
  // into a new allocation and wipes the old one, so no stale copy is left
  // behind (std::vector's own growth would free it unwiped).
  T& append() {
    if (v_.size() == v_.capacity()) {
      std::vector<T> grown;
      grown.reserve(v_.empty() ? 8 : 2 * v_.size());
      grown.assign(v_.begin(), v_.end());
      wipe_vector(v_);
      v_.swap(grown);
    }
    return v_.emplace_back();
  }

 private:
  std::vector<T> v_;
};

using SecretBytes = SecretVector<uint8_t>;

}  // namespace zeroize
