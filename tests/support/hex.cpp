#include <stdexcept>

#include "vectors.hpp"

namespace vt_test {

std::vector<uint8_t> from_hex(const std::string& hex) {
  if (hex.size() % 2 != 0) throw std::runtime_error("odd-length hex string");
  auto nib = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::runtime_error("bad hex digit");
  };
  std::vector<uint8_t> out(hex.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(nib(hex[2 * i]) << 4 | nib(hex[2 * i + 1]));
  return out;
}

std::string to_hex(const uint8_t* p, size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s(2 * n, '0');
  for (size_t i = 0; i < n; ++i) {
    s[2 * i] = d[p[i] >> 4];
    s[2 * i + 1] = d[p[i] & 15];
  }
  return s;
}

std::vector<uint8_t> pseudo_random_bytes(uint64_t seed, size_t n) {
  std::vector<uint8_t> out(n);
  uint64_t x = seed;
  for (size_t i = 0; i < n; i += 8) {
    x += 0x9e3779b97f4a7c15ULL;
    uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    for (size_t k = 0; k < 8 && i + k < n; ++k) out[i + k] = static_cast<uint8_t>(z >> (8 * k));
  }
  return out;
}

}  // namespace vt_test
