#include "cpu/features.hpp"

#include <cstdint>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace cpu {
namespace {

#if defined(__x86_64__)
uint64_t xcr0() noexcept {
  uint32_t lo, hi;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (uint64_t{hi} << 32) | lo;
}

Features probe() noexcept {
  Features f;
  __builtin_cpu_init();
  f.bmi2 = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & bit_OSXSAVE) == 0) return f;
  const uint64_t xcr = xcr0();
  const bool ymm_state = (xcr & 0x6) == 0x6;                 // SSE and AVX state
  const bool zmm_state = ymm_state && (xcr & 0xE0) == 0xE0;  // opmask, ZMM0-15 upper, ZMM16-31
  f.avx2 = ymm_state && __builtin_cpu_supports("avx2");
  f.avx512f = f.avx2 && zmm_state && __builtin_cpu_supports("avx512f");
  f.avx512vl = f.avx512f && __builtin_cpu_supports("avx512vl");
  return f;
}
#else
Features probe() noexcept { return {}; }
#endif

}  // namespace

const Features& features() noexcept {
  static const Features f = probe();
  return f;
}

}  // namespace cpu
