// Operating-system randomness: the getrandom system call, or /dev/urandom
// once /dev/random has polled readable where the call is unavailable.
// A failing source is an internal fault (fault::InternalFault).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace osrng {

void fill(uint8_t* out, size_t len);
inline void fill(std::span<uint8_t> out) { fill(out.data(), out.size()); }

}  // namespace osrng
