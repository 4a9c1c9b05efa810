// A heap buffer of 32-bit words for secret intermediate values, wiped
// before it is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zeroize/zeroize.hpp"

namespace fndsa::kgen {

class Words {
 public:
  explicit Words(size_t n) : v_(n, 0) {}
  ~Words() { zeroize::wipe(v_.data(), v_.size() * sizeof(uint32_t)); }
  Words(const Words&) = delete;
  Words& operator=(const Words&) = delete;
  uint32_t* data() noexcept { return v_.data(); }
  const uint32_t* data() const noexcept { return v_.data(); }

 private:
  std::vector<uint32_t> v_;
};

}  // namespace fndsa::kgen
