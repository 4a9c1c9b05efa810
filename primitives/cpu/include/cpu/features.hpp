// The instruction sets the vector code may use on this machine. A set
// counts only when the processor reports it and, for the vector registers,
// the operating system also saves their state on a context switch.
#pragma once

namespace cpu {

struct Features {
  bool avx2 = false;
  bool avx512f = false;   // 512-bit registers and the opmask state
  bool avx512vl = false;  // AVX-512 instructions on 128- and 256-bit registers
  bool bmi2 = false;      // BMI1 and BMI2 (general-purpose registers only)
};

// Probed on first use, then fixed for the life of the process.
const Features& features() noexcept;

}  // namespace cpu
