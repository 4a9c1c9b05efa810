// Reading a fuzz input as a sequence of fields, and writing seed inputs in
// the same form.
//
// A field is a two-byte little-endian length followed by that many bytes; a
// length running past the end of the input takes what is left. A byte or a
// field read past the end is zero or empty, so every input parses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace fuzz {

using Bytes = std::span<const uint8_t>;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : rest_(data, size) {}

  uint8_t byte() {
    if (rest_.empty()) return 0;
    const uint8_t b = rest_[0];
    rest_ = rest_.subspan(1);
    return b;
  }
  uint16_t u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
  uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }
  Bytes take(size_t n) {
    if (n > rest_.size()) n = rest_.size();
    const Bytes out = rest_.first(n);
    rest_ = rest_.subspan(n);
    return out;
  }
  Bytes field() { return take(u16()); }
  Bytes rest() { return take(rest_.size()); }
  bool empty() const { return rest_.empty(); }

 private:
  Bytes rest_;
};

// Builds a seed input field by field.
class Writer {
 public:
  Writer& byte(uint8_t b) {
    out_.push_back(b);
    return *this;
  }
  Writer& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Writer& field(Bytes b) {
    out_.push_back(static_cast<uint8_t>(b.size()));
    out_.push_back(static_cast<uint8_t>(b.size() >> 8));
    return raw(b);
  }
  Writer& raw(Bytes b) {
    out_.insert(out_.end(), b.begin(), b.end());
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return out_; }

 private:
  std::vector<uint8_t> out_;
};

// How many inputs a target found valid (the replay driver checks that the
// seed corpora still reach the deep checks).
inline size_t accepted_inputs = 0;
inline void note_accepted() { ++accepted_inputs; }

// A property that failed: report it and abort, so that libFuzzer keeps the
// input as a crash.
[[noreturn]] inline void violated(const char* what) {
  std::fprintf(stderr, "fuzz property violated: %s\n", what);
  std::abort();
}

inline void require(bool ok, const char* what) {
  if (!ok) violated(what);
}

// A copy of `b` with one bit flipped; `where` picks the bit (any value).
inline std::vector<uint8_t> flip_bit(Bytes b, uint32_t where) {
  std::vector<uint8_t> out(b.begin(), b.end());
  if (!out.empty()) {
    const size_t bit = where % (out.size() * 8);
    out[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
  }
  return out;
}

// A cheap mix of the input bytes, to pick mutation positions that vary from
// one input to the next.
inline uint32_t mix(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

}  // namespace fuzz
