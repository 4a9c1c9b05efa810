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
inline void wipe_vector(std::vector<uint8_t>& v) noexcept {
  if (v.capacity() != 0) wipe(v.data(), v.capacity());
}

// Holds a trivially copyable value and wipes it on destruction.
template <class T>
class Wiped {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  Wiped() noexcept : v_{} {}
  explicit Wiped(const T& v) noexcept : v_(v) {}
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
  ~SecretArray() { wipe(a_.data(), N); }
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

 private:
  std::array<uint8_t, N> a_;
};

// A growable secret byte buffer; its whole allocation is wiped before it is
// released or reallocated through this interface.
class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(size_t n) : v_(n, 0) {}
  SecretBytes(const uint8_t* p, size_t n) : v_(p, p + n) {}
  explicit SecretBytes(std::span<const uint8_t> s) : v_(s.begin(), s.end()) {}
  ~SecretBytes() { wipe_vector(v_); }
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& o) noexcept : v_(std::move(o.v_)) {}
  SecretBytes& operator=(SecretBytes&& o) noexcept {
    if (this != &o) {
      wipe_vector(v_);
      v_ = std::move(o.v_);
    }
    return *this;
  }

  uint8_t* data() noexcept { return v_.data(); }
  const uint8_t* data() const noexcept { return v_.data(); }
  size_t size() const noexcept { return v_.size(); }
  bool empty() const noexcept { return v_.empty(); }
  uint8_t& operator[](size_t i) noexcept { return v_[i]; }
  const uint8_t& operator[](size_t i) const noexcept { return v_[i]; }
  std::span<uint8_t> span() noexcept { return v_; }
  std::span<const uint8_t> span() const noexcept { return v_; }
  void clear() noexcept {
    wipe_vector(v_);
    v_.clear();
  }

 private:
  std::vector<uint8_t> v_;
};

}  // namespace zeroize
