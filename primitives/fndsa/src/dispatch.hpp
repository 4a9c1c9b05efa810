// Which code path the vector-capable kernels of this library take: the
// AVX2 forms when the processor has them, unless a test pins the portable
// code. Every path gives the same bytes.
#pragma once

#include <cstdint>

namespace fndsa::detail {

bool use_avx2() noexcept;
// Pins the portable code (for tests and the constant-time check); false
// returns to the processor's choice.
void force_portable(bool on) noexcept;
// "avx2" or "portable": the path now in use.
const char* backend() noexcept;

}  // namespace fndsa::detail
