// The AVX2 forms of the FFT-domain polynomial operations of internal.hpp
// (logn >= 4), each lane doing the portable code's operations in the same
// order, so every result is the same bits. fpr_fft.cpp chooses them when
// the processor has AVX2.
#pragma once

namespace fndsa::detail {

void fpoly_add_avx2(unsigned logn, double* a, const double* b) noexcept;
void fpoly_mul_avx2(unsigned logn, double* a, const double* b) noexcept;
void fpoly_mul_adj_avx2(unsigned logn, double* a, const double* b) noexcept;
void fpoly_norm_sq_avx2(unsigned logn, double* a) noexcept;
void fpoly_scale_avx2(unsigned logn, double* a, double x) noexcept;
void fpoly_ldl_avx2(unsigned logn, const double* g00, double* g01, double* g11) noexcept;
void fpoly_split_avx2(unsigned logn, double* f0, double* f1, const double* f) noexcept;
void fpoly_split_real_avx2(unsigned logn, double* f0, double* f1, const double* f) noexcept;
void fpoly_merge_avx2(unsigned logn, double* f, const double* f0, const double* f1) noexcept;

}  // namespace fndsa::detail
