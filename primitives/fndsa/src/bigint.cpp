// Limb arithmetic: residues, Chinese remainder reconstruction, products by
// a word, shifted subtraction and the reading of a few leading bits.
#include "bigint.hpp"

#include "dispatch.hpp"

namespace fndsa::kgen {

// Horner's rule from the top limb: the top limb is read as a signed 31-bit
// number, each lower limb enters after a multiplication by 2^31.
uint32_t residue(const Modp& m, const uint32_t* x, size_t len) noexcept {
  const int32_t top = static_cast<int32_t>(x[len - 1] << 1) >> 1;
  uint32_t r = m.from_signed(top);
  for (size_t j = len - 1; j-- > 0;) r = m.add(m.mont(r, m.two31), m.fold(x[j]));
  return r;
}

// Four coefficients at a time: their Horner chains are independent, so the
// processor overlaps them.
void residues(const Modp& m, const uint32_t* x, size_t len, size_t count, uint32_t* out) noexcept {
  size_t j = 0;
  for (; j + 4 <= count; j += 4) {
    const uint32_t* c = x + j * len;
    uint32_t r[4];
    for (int t = 0; t < 4; ++t) r[t] = m.from_signed(static_cast<int32_t>(c[t * len + len - 1] << 1) >> 1);
    for (size_t l = len - 1; l-- > 0;)
      for (int t = 0; t < 4; ++t) r[t] = m.add(m.mont(r[t], m.two31), m.fold(c[t * len + l]));
    for (int t = 0; t < 4; ++t) out[j + t] = r[t];
  }
  for (; j < count; ++j) out[j] = residue(m, x + j * len, len);
}

// Here the lanes are primes: one coefficient is reduced modulo four primes
// at once.
void residues_by_prime(const uint32_t* x, size_t len, size_t count, size_t np, uint32_t* out) noexcept {
  if (np >= 4 && detail::use_avx2()) return residues_by_prime_avx2(x, len, count, np, out);
  const PrimeCtx* primes = &prime(0);
  size_t i = 0;
  for (; i + 4 <= np; i += 4) {
    const Modp* m[4] = {&primes[i].m, &primes[i + 1].m, &primes[i + 2].m, &primes[i + 3].m};
    for (size_t c = 0; c < count; ++c) {
      const uint32_t* v = x + c * len;
      const int32_t top = static_cast<int32_t>(v[len - 1] << 1) >> 1;
      uint32_t r[4];
      for (int t = 0; t < 4; ++t) r[t] = m[t]->from_signed(top);
      for (size_t l = len - 1; l-- > 0;)
        for (int t = 0; t < 4; ++t) r[t] = m[t]->add(m[t]->mont(r[t], m[t]->two31), m[t]->fold(v[l]));
      for (int t = 0; t < 4; ++t) out[(i + t) * count + c] = r[t];
    }
  }
  for (; i < np; ++i) residues(primes[i].m, x, len, count, out + i * count);
}

// Garner's method. The mixed-radix digits d_i (x = d_0 + d_1 p_0 +
// d_2 p_0 p_1 + ...) come one prime at a time: d_i is fixed by the residue
// modulo p_i of the part already known, which Horner's rule gives from the
// digits and the p_j mod p_i. The centred form compares the digits with
// those of (M - 1) / 2, which are (p_j - 1) / 2, from the top; when x is
// larger the top digit drops by p_{k-1}, which subtracts M. The value is
// finally evaluated by Horner's rule on big integers, signed throughout.
namespace {

// Garner for W coefficients side by side (their dependency chains are
// independent, so the processor overlaps them).
template <size_t W>
void crt_lanes(const uint32_t* res, size_t stride, size_t k, bool centred, uint32_t* const* out,
               uint32_t* work) noexcept {
  const PrimeCtx* primes = &prime(0);
  for (size_t i = 0; i < k; ++i) {
    const PrimeCtx& pc = primes[i];
    const Modp& m = pc.m;
    uint32_t s[W] = {};
    for (size_t j = i; j-- > 0;)
      for (size_t t = 0; t < W; ++t) s[t] = m.add(m.mont(s[t], pc.below[j]), m.fold(out[t][j]));
    for (size_t t = 0; t < W; ++t) out[t][i] = i == 0 ? res[t] : m.mont(m.sub(res[i * stride + t], s[t]), pc.garner);
  }
  size_t len = 2;
  for (size_t t = 0; t < W; ++t) {
    const uint32_t* d = out[t];
    int64_t top = d[k - 1];
    if (centred) {
      uint32_t greater = 0, decided = 0;
      for (size_t j = k; j-- > 0;) {
        const uint32_t half = (primes[j].m.p - 1) >> 1;
        greater |= ~decided & ct::lt31_mask(half, d[j]);
        decided |= ~ct::eq_mask(half, d[j]);
      }
      top -= static_cast<int64_t>(primes[k - 1].m.p & greater);
    }
    uint32_t* wk = work + t * (k + 1);
    wk[0] = static_cast<uint32_t>(top) & kLimbMask;
    wk[1] = static_cast<uint32_t>(top >> 31) & kLimbMask;
  }
  // Horner on big integers, each value signed in its top limb.
  for (size_t i = k - 1; i-- > 0;) {
    const int64_t p = primes[i].m.p;
    int64_t carry[W];
    for (size_t t = 0; t < W; ++t) carry[t] = out[t][i];
    for (size_t j = 0; j < len; ++j) {
      for (size_t t = 0; t < W; ++t) {
        uint32_t* wk = work + t * (k + 1);
        const int64_t limb =
            j + 1 < len ? static_cast<int64_t>(wk[j]) : static_cast<int64_t>(static_cast<int32_t>(wk[j] << 1) >> 1);
        const int64_t z = limb * p + carry[t];
        wk[j] = static_cast<uint32_t>(z) & kLimbMask;
        carry[t] = z >> 31;
      }
    }
    if (len <= k) {
      for (size_t t = 0; t < W; ++t) work[t * (k + 1) + len] = static_cast<uint32_t>(carry[t]) & kLimbMask;
      ++len;
    }
  }
  for (size_t t = 0; t < W; ++t)
    for (size_t j = 0; j < k; ++j) out[t][j] = work[t * (k + 1) + j];
}

}  // namespace

void crt_rebuild(const uint32_t* res, size_t stride, size_t k, bool centred, size_t count, uint32_t* out,
                 size_t out_stride, uint32_t* work) noexcept {
  size_t c = 0;
  if (detail::use_avx2()) {
    // M = p_0 ... p_{k-1} in k limbs, after the 16 k words of the lanes.
    uint32_t* modulus = work + 16 * k;
    // (Only the centred form uses it; a product of i primes fits in i
    // limbs.)
    modulus[0] = 1;
    for (size_t j = 1; j < k; ++j) modulus[j] = 0;
    const uint32_t* ps = prime_columns().p;
    for (size_t i = 0; centred && i < k; ++i) {
      uint64_t carry = 0;
      for (size_t j = 0; j <= i && j < k; ++j) {
        const uint64_t z = static_cast<uint64_t>(modulus[j]) * ps[i] + carry;
        modulus[j] = static_cast<uint32_t>(z) & kLimbMask;
        carry = z >> 31;
      }
    }
    for (; c + 8 <= count; c += 8)
      crt_rebuild8_avx2(res + c, stride, k, centred, out + c * out_stride, out_stride, modulus, work);
    // One to seven left: padded to eight lanes, which still beats the
    // scalar lanes (whose digits form one chain of products each).
    const size_t rest = count - c;
    if (rest >= 1) {
      uint32_t* pres = modulus + k;  // 8 k residues, then 8 k limbs out
      uint32_t* pout = pres + 8 * k;
      for (size_t i = 0; i < k; ++i)
        for (size_t l = 0; l < 8; ++l) pres[8 * i + l] = l < rest ? res[i * stride + c + l] : 0;
      crt_rebuild8_avx2(pres, 8, k, centred, pout, k, modulus, work);
      for (size_t l = 0; l < rest; ++l)
        for (size_t j = 0; j < k; ++j) out[(c + l) * out_stride + j] = pout[l * k + j];
      c = count;
    }
  }
  for (; c + 4 <= count; c += 4) {
    uint32_t* lanes[4] = {out + c * out_stride, out + (c + 1) * out_stride, out + (c + 2) * out_stride,
                          out + (c + 3) * out_stride};
    crt_lanes<4>(res + c, stride, k, centred, lanes, work);
  }
  for (; c + 2 <= count; c += 2) {
    uint32_t* lanes[2] = {out + c * out_stride, out + (c + 1) * out_stride};
    crt_lanes<2>(res + c, stride, k, centred, lanes, work);
  }
  for (; c < count; ++c) {
    uint32_t* lane = out + c * out_stride;
    crt_lanes<1>(res + c, stride, k, centred, &lane, work);
  }
}

void sub_shifted(uint32_t* y, size_t ylen, const uint32_t* x, size_t xlen, uint32_t shift) noexcept {
  const size_t skip = shift / 31;
  const uint32_t bits = shift % 31;
  if (skip >= ylen) return;
  const uint32_t ext = sign_of(x, xlen) & kLimbMask;
  uint32_t below = 0, borrow = 0;  // the limb of x under the current one
  for (size_t j = skip; j < ylen; ++j) {
    const size_t t = j - skip;
    const uint32_t w = t < xlen ? x[t] : ext;
    // bits == 0 would shift by 31; the mask then drops `below` entirely.
    const uint32_t part = ((w << bits) | ((below >> 1) >> (30 - bits))) & kLimbMask;
    below = w;
    const uint32_t diff = y[j] - part - borrow;
    y[j] = diff & kLimbMask;
    borrow = diff >> 31;
  }
}

// x is read as its lower limbs plus a signed top limb, so nothing lies
// beyond it; the sum wraps modulo 2^(31 alen).
void add_mul(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, int32_t c) noexcept {
  int64_t carry = 0;
  size_t t = 0;
  for (; t + 1 < xlen; ++t) {
    const int64_t z = static_cast<int64_t>(acc[t]) + static_cast<int64_t>(x[t]) * c + carry;
    acc[t] = static_cast<uint32_t>(z) & kLimbMask;
    carry = z >> 31;
  }
  const int64_t top = static_cast<int32_t>(x[t] << 1) >> 1;
  int64_t z = static_cast<int64_t>(acc[t]) + top * c + carry;
  acc[t] = static_cast<uint32_t>(z) & kLimbMask;
  carry = z >> 31;
  for (++t; t < alen; ++t) {
    z = static_cast<int64_t>(acc[t]) + carry;
    acc[t] = static_cast<uint32_t>(z) & kLimbMask;
    carry = z >> 31;
  }
}

// Limb by limb. Each product (below 2^62 in magnitude) is split at bit 31
// into its low part and its signed high part, and the two parts are summed
// separately, so up to 2^31 of them add up in 64 bits without carrying; the
// carries are settled once per limb.
void mul_sum(uint32_t* acc, size_t alen, const uint32_t* x, size_t xlen, const int32_t* c, size_t count) noexcept {
  if (xlen <= 64 && detail::use_avx2()) return mul_sum_avx2(acc, alen, x, xlen, c, count);
  __int128 carry = 0;
  for (size_t t = 0; t < alen; ++t) {
    int64_t lo = 0, hi = 0;
    if (t < xlen) {
      const bool top = t + 1 == xlen;  // the top limbs are signed
      for (size_t i = 0; i < count; ++i) {
        const uint32_t w = x[i * xlen + t];
        const int64_t v = top ? static_cast<int32_t>(w << 1) >> 1 : static_cast<int64_t>(w);
        const int64_t p = v * c[i];
        lo += p & kLimbMask;
        hi += p >> 31;
      }
    }
    const __int128 z = carry + lo + (static_cast<__int128>(hi) << 31);
    acc[t] = static_cast<uint32_t>(z) & kLimbMask;
    carry = z >> 31;
  }
}

uint32_t magnitude_bits(const uint32_t* x, size_t len) noexcept {
  const uint32_t flip = sign_of(x, len) & kLimbMask;
  uint32_t top = 0, top_index = 0;
  for (size_t j = 0; j < len; ++j) {
    const uint32_t w = x[j] ^ flip;
    const uint32_t nz = ct::nonzero_mask(w);
    top = ct::select(nz, w, top);
    top_index = ct::select(nz, static_cast<uint32_t>(j), top_index);
  }
  return 31 * top_index + ct::bit_length31(top);
}

uint64_t fixed_window(const uint32_t* x, size_t len, uint32_t shift, uint32_t max_shift) noexcept {
  // Split shift as 31 q + r with r in [1, 31]: the 64 bits start inside limb
  // q - 1 and end in limb q + 1.
  uint32_t q = shift / 31, r = shift % 31;
  const uint32_t r0 = ct::eq_mask(r, 0);
  q -= r0 & 1;
  r |= r0 & 31;
  // The three limbs are picked by masks in one pass over the limbs that a
  // shift up to max_shift can reach; indices below zero read as zero, those
  // at or past len as the sign.
  const size_t reach = max_shift / 31 + 2;
  const size_t scan = reach < len ? reach : len;
  uint32_t w0 = 0, w1 = 0, w2 = 0;
  for (size_t j = 0; j < scan; ++j) {
    const uint32_t jj = static_cast<uint32_t>(j);
    w0 |= x[j] & ct::eq_mask(jj + 1, q);
    w1 |= x[j] & ct::eq_mask(jj, q);
    w2 |= x[j] & ct::eq_mask(jj, q + 1);
  }
  const uint32_t ext = sign_of(x, len) & kLimbMask;
  const uint32_t n = static_cast<uint32_t>(len);
  // q + 1 = 0 (q = -1) is below zero; otherwise compare as integers.
  const uint32_t q_neg = ct::eq_mask(q, 0xFFFFFFFFu);
  w0 |= ext & ~q_neg & ~ct::lt31_mask(q - 1, n) & ~ct::eq_mask(q, 0);
  w1 |= ext & ~q_neg & ~ct::lt31_mask(q, n);
  w2 |= ext & ~ct::lt31_mask(q + 1, n);
  w2 |= (w2 & 0x40000000u) << 1;  // bit 31 copies the limb's top bit
  const uint32_t lo = (w0 >> (r - 1)) | (w1 << (32 - r));
  const uint32_t hi = (w1 >> r) | (w2 << (31 - r));
  return static_cast<uint64_t>(lo) | (static_cast<uint64_t>(hi) << 32);
}

}  // namespace fndsa::kgen
