#include <cstring>

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

// Whole blocks of the rate, so the sponge never holds a partial one.
void ShakePrng::refill() noexcept {
  sh_.squeeze(buf_, kRate);
  pos_ = 0;
  end_ = kRate;
}

void ShakePrng::top_up() noexcept {
  const size_t rest = end_ - pos_;
  std::memmove(buf_, buf_ + pos_, rest);
  sh_.squeeze(buf_ + rest, kRate);
  pos_ = 0;
  end_ = rest + kRate;
}

}  // namespace fndsa::detail
