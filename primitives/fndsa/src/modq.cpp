// Polynomials modulo q = 12289 over X^512 + 1 in NTT form, through the same
// Montgomery arithmetic and transform as the key-generation primes, with
// 49 as the root of order 1024. The bit-reversed order of the values is part
// of the verifying-key format. No branch or index depends on the values
// (f, g and F pass through here).
#include "dispatch.hpp"
#include "internal.hpp"
#include "modp.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa::detail {
namespace {

struct QContext {
  kgen::PrimeCtx ctx;
  uint32_t roots[kN], iroots[kN];
  QContext() noexcept { kgen::init_prime_ctx(ctx, kQ, 49, kLogN, roots, iroots); }
};

const kgen::PrimeCtx& q_ctx() noexcept {
  static const QContext c;
  return c.ctx;
}

template <class F>
void transform(uint16_t* a, F&& run) noexcept {
  uint32_t w[kN];
  for (size_t i = 0; i < kN; ++i) w[i] = a[i];
  run(w);
  for (size_t i = 0; i < kN; ++i) a[i] = static_cast<uint16_t>(w[i]);
  zeroize::wipe(w, sizeof w);
}

// Plain product: one factor enters Montgomery form.
uint32_t mul_q(const kgen::Modp& m, uint32_t a, uint32_t b) noexcept { return m.mont(m.to_mont(a), b); }

}  // namespace

void ntt(uint16_t* a) noexcept {
  transform(a, [](uint32_t* w) { kgen::ntt(q_ctx(), w, kLogN); });
}

void intt(uint16_t* a) noexcept {
  transform(a, [](uint32_t* w) { kgen::intt(q_ctx(), w, kLogN, false); });
}

void small_to_modq(const int8_t* f, uint16_t* d) noexcept {
  const kgen::Modp& m = q_ctx().m;
  for (size_t i = 0; i < kN; ++i) d[i] = static_cast<uint16_t>(m.from_signed(f[i]));
}

void ntt_mul(uint16_t* a, const uint16_t* b) noexcept {
  const kgen::Modp& m = q_ctx().m;
  if (use_avx2()) return kgen::mul16_avx2(m, a, b, kN);
  for (size_t i = 0; i < kN; ++i) a[i] = static_cast<uint16_t>(mul_q(m, a[i], b[i]));
}

bool ntt_invertible(const uint16_t* a) noexcept {
  uint32_t zero = 0;
  for (size_t i = 0; i < kN; ++i) zero |= ct::eq_mask(a[i], 0);
  return zero == 0;
}

// b^(q-2) is 1/b for b != 0 (and 0 for 0, reported by the flag).
bool ntt_div(uint16_t* a, const uint16_t* b) noexcept {
  const kgen::Modp& m = q_ctx().m;
  const bool ok = ntt_invertible(b);
  if (use_avx2()) {
    struct Wide {
      uint32_t a[kN], b[kN], scratch[kN];
    };
    zeroize::Wiped<Wide> w;
    for (size_t i = 0; i < kN; ++i) {
      w->a[i] = a[i];
      w->b[i] = b[i];
    }
    kgen::div_avx2(m, w->a, w->b, kN, w->scratch);
    for (size_t i = 0; i < kN; ++i) a[i] = static_cast<uint16_t>(w->a[i]);
    return ok;
  }
  for (size_t i = 0; i < kN; ++i) {
    const uint32_t inv = m.inv_mont(m.to_mont(b[i]));  // Montgomery form of 1/b
    a[i] = static_cast<uint16_t>(m.mont(a[i], inv));
  }
  return ok;
}

// Values in [-127, 127] are those with x + 128 mod q in [1, 255].
bool modq_to_small(const uint16_t* d, int8_t* f) noexcept {
  const kgen::Modp& m = q_ctx().m;
  uint32_t out = 0;
  for (size_t i = 0; i < kN; ++i) {
    const uint32_t x = m.add(d[i], 128);
    out |= (x >> 8) | ct::eq_mask(x, 0);
    f[i] = static_cast<int8_t>(static_cast<int32_t>(x) - 128);
  }
  return out == 0;
}

}  // namespace fndsa::detail
