#include "internal.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::detail {

ShakePrng::ShakePrng(const uint8_t* seed, size_t len) noexcept {
  sh_.absorb(seed, len);
  sh_.finalize();
}

ShakePrng::~ShakePrng() {
  zeroize::wipe(buf_, sizeof buf_);
  sh_.reset();
}

void ShakePrng::refill() noexcept {
  sh_.squeeze(buf_, sizeof buf_);
  pos_ = 0;
}

}  // namespace fndsa::detail
