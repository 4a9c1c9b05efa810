// The integer arithmetic behind key generation, against slow and obvious
// computations: Chinese remaindering, the modular inverse at the bottom of
// the tower, and the reading of leading bits into fixed point.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bigint.hpp"
#include "dispatch.hpp"
#include "fixed.hpp"
#include "modp.hpp"
#include "vectors.hpp"

namespace {

using namespace fndsa::kgen;
using Limbs = std::vector<uint32_t>;

Limbs random_limbs(uint64_t tag, size_t len) {
  auto bytes = vt_test::pseudo_random_bytes(tag, 4 * len);
  Limbs x(len);
  for (size_t j = 0; j < len; ++j) {
    uint32_t w;
    std::memcpy(&w, bytes.data() + 4 * j, 4);
    x[j] = w & kLimbMask;
  }
  return x;
}

// Unsigned comparison and subtraction of equal-length limb strings.
bool less(const Limbs& a, const Limbs& b) {
  for (size_t j = a.size(); j-- > 0;)
    if (a[j] != b[j]) return a[j] < b[j];
  return false;
}
void subtract(Limbs& a, const Limbs& b) {
  uint32_t borrow = 0;
  for (size_t j = 0; j < a.size(); ++j) {
    const uint32_t d = a[j] - b[j] - borrow;
    a[j] = d & kLimbMask;
    borrow = d >> 31;
  }
}

// (a * b) mod m by schoolbook product and bitwise long division.
Limbs mul_mod(const Limbs& a, const Limbs& b, const Limbs& m) {
  const size_t len = m.size();
  Limbs prod(2 * len, 0);
  for (size_t i = 0; i < len; ++i) {
    uint64_t carry = 0;
    for (size_t j = 0; j < len; ++j) {
      const uint64_t z = static_cast<uint64_t>(a[i]) * b[j] + prod[i + j] + carry;
      prod[i + j] = static_cast<uint32_t>(z) & kLimbMask;
      carry = z >> 31;
    }
    prod[i + len] = static_cast<uint32_t>(carry);
  }
  Limbs r(len + 1, 0), mm(m);
  mm.push_back(0);
  for (size_t bit = 62 * len; bit-- > 0;) {
    for (size_t j = len + 1; j-- > 1;) r[j] = ((r[j] << 1) | (r[j - 1] >> 30)) & kLimbMask;
    r[0] = ((r[0] << 1) | ((prod[bit / 31] >> (bit % 31)) & 1)) & kLimbMask;
    if (!less(r, mm)) subtract(r, mm);
  }
  r.pop_back();
  return r;
}

TEST(FnDsaKeygenArith, ResiduesRebuildTheInteger) {
  for (size_t k : {1, 2, 3, 8, 27, 104, 155}) {
    for (bool centred : {false, true}) {
      // Below the product of the primes: the top limb stays small enough.
      Limbs x = random_limbs(k * 2 + centred, k);
      x[k - 1] &= 0x3FFFFFFF >> (centred ? 1 : 0);
      if (centred && (k & 1)) {  // a negative value: two's complement
        for (auto& w : x) w = ~w & kLimbMask;
      }
      std::vector<uint32_t> res(k);
      for (size_t i = 0; i < k; ++i) {
        if (centred) {
          res[i] = residue(prime(i).m, x.data(), k);
        } else {  // unsigned: a zero limb on top keeps the sign clear
          Limbs ext(x);
          ext.push_back(0);
          res[i] = residue(prime(i).m, ext.data(), k + 1);
        }
      }
      Limbs out(k), work(crt_work_len(k));
      crt_rebuild(res.data(), 1, k, centred, 1, out.data(), k, work.data());
      EXPECT_EQ(out, x) << "k = " << k << (centred ? " centred" : " unsigned");
    }
  }
}

// Many integers at once, as the vector path rebuilds them eight at a time:
// random values come back exactly, and at the edges of the centred range,
// (M - 1) / 2 (residues (p - 1) / 2) and (M + 1) / 2 (residues (p + 1) / 2),
// both paths agree limb for limb.
TEST(FnDsaKeygenArith, RebuildingManyIntegersAgreesOnEveryPath) {
  constexpr size_t kRandom = 11, kCount = kRandom + 2;
  for (size_t k : {1, 2, 3, 8, 27, 104, 155}) {
    for (bool centred : {false, true}) {
      std::vector<Limbs> xs;
      std::vector<uint32_t> res(k * kCount);
      for (size_t c = 0; c < kRandom; ++c) {
        Limbs x = random_limbs(5000 + 20 * k + 2 * c + centred, k);
        x[k - 1] &= 0x3FFFFFFF >> (centred ? 1 : 0);
        if (centred && (c & 1)) {
          for (auto& w : x) w = ~w & kLimbMask;
        }
        Limbs ext(x);
        ext.push_back(0);
        for (size_t i = 0; i < k; ++i)
          res[i * kCount + c] = centred ? residue(prime(i).m, x.data(), k) : residue(prime(i).m, ext.data(), k + 1);
        xs.push_back(x);
      }
      for (size_t i = 0; i < k; ++i) {
        res[i * kCount + kRandom] = (prime(i).m.p - 1) / 2;
        res[i * kCount + kRandom + 1] = (prime(i).m.p + 1) / 2;
      }
      Limbs outs[2];
      for (bool portable : {true, false}) {
        fndsa::detail::force_portable(portable);
        Limbs out(k * kCount), work(crt_work_len(k));
        crt_rebuild(res.data(), kCount, k, centred, kCount, out.data(), k, work.data());
        fndsa::detail::force_portable(false);
        for (size_t c = 0; c < kRandom; ++c)
          EXPECT_EQ(Limbs(out.begin() + c * k, out.begin() + (c + 1) * k), xs[c])
              << "k = " << k << " column " << c << (centred ? " centred" : "") << (portable ? " portable" : "");
        outs[portable] = out;
      }
      EXPECT_EQ(outs[0], outs[1]) << "k = " << k << (centred ? " centred" : "");
    }
  }
}

// Residues modulo many primes at once, eight lanes at a time or not, equal
// the residues taken one prime at a time.
TEST(FnDsaKeygenArith, ResiduesByPrimeMatchOnePrimeAtATime) {
  constexpr size_t kCoefficients = 5;
  for (size_t len : {1, 2, 8, 104}) {
    Limbs x = random_limbs(6000 + len, len * kCoefficients);
    for (size_t c = 0; c < kCoefficients; ++c) x[c * len + len - 1] &= 0x3FFFFFFF;  // small enough top limb
    x[(kCoefficients - 1) * len + len - 1] |= 0x40000000;                           // one negative value
    for (size_t np : {1, 3, 4, 8, 13, 155}) {
      for (bool portable : {true, false}) {
        fndsa::detail::force_portable(portable);
        std::vector<uint32_t> out(np * kCoefficients);
        residues_by_prime(x.data(), len, kCoefficients, np, out.data());
        fndsa::detail::force_portable(false);
        for (size_t i = 0; i < np; ++i)
          for (size_t c = 0; c < kCoefficients; ++c)
            EXPECT_EQ(out[i * kCoefficients + c], residue(prime(i).m, x.data() + c * len, len))
                << len << " limbs, " << np << " primes, prime " << i << (portable ? " portable" : "");
      }
    }
  }
}

bool is_zero(const Limbs& a) {
  for (uint32_t w : a)
    if (w != 0) return false;
  return true;
}
void halve(Limbs& a) {
  for (size_t j = 0; j < a.size(); ++j) a[j] = (a[j] >> 1) | (j + 1 < a.size() ? (a[j + 1] & 1) << 30 : 0);
}

// Plain binary GCD, for an odd b.
bool coprime(const Limbs& y, const Limbs& x) {
  Limbs a(y), b(x);
  while (!is_zero(a)) {
    while ((a[0] & 1) == 0) halve(a);
    if (less(a, b))
      for (size_t j = 0; j < a.size(); ++j) std::swap(a[j], b[j]);
    subtract(a, b);
  }
  Limbs one(b.size(), 0);
  one[0] = 1;
  return b == one;
}

TEST(FnDsaKeygenArith, ModularInverseAgreesWithGcd) {
  int seen[2] = {0, 0};
  for (size_t len : {1, 2, 5, 53, 104}) {
    for (uint64_t tag = 0; tag < 4; ++tag) {
      Limbs x = random_limbs(100 * len + tag, len), y = random_limbs(200 * len + tag, len);
      x[0] |= 1;
      const bool expect = coprime(y, x);
      ++seen[expect];
      Limbs inv(len);
      ASSERT_EQ(mod_inverse(inv.data(), y.data(), x.data(), len), expect) << len << " " << tag;
      if (!expect) continue;
      Limbs one(len, 0);
      one[0] = 1;
      EXPECT_EQ(mul_mod(y, inv, x), one) << len;
      EXPECT_TRUE(less(inv, x));
    }
  }
  EXPECT_GT(seen[0], 0);  // both outcomes were exercised
  EXPECT_GT(seen[1], 0);
  // Values sharing a factor with x are refused.
  Limbs inv(53);
  Limbs x = random_limbs(7, 53);
  x[0] |= 1;
  Limbs zero(53, 0);
  EXPECT_FALSE(mod_inverse(inv.data(), x.data(), x.data(), 53));
  EXPECT_FALSE(mod_inverse(inv.data(), zero.data(), x.data(), 53));
  const Limbs small_x = {3 * 11 * 13}, small_y = {3 * 5};
  EXPECT_FALSE(mod_inverse(inv.data(), small_y.data(), small_x.data(), 1));
}

// The bits [shift - 32, shift + 32) of a signed value, from __int128.
TEST(FnDsaKeygenArith, FixedWindowReadsTheShiftedValue) {
  for (uint64_t tag = 0; tag < 20; ++tag) {
    Limbs x = random_limbs(300 + tag, 3);
    x[2] &= 0x3FFFFFF;  // below 2^88
    if (tag & 1) {
      for (auto& w : x) w = ~w & kLimbMask;
    }
    __int128 v = static_cast<__int128>(x[0]) | (static_cast<__int128>(x[1]) << 31) |
                 (static_cast<__int128>(static_cast<int32_t>(x[2] << 1) >> 1) << 62);
    for (uint32_t shift = 0; shift < 93; ++shift) {
      // Only where the quotient keeps its 32 integer bits.
      const __int128 q = v >> shift;
      if (q >= (__int128{1} << 30) || q < -(__int128{1} << 30)) continue;
      const __int128 scaled = shift >= 32 ? v >> (shift - 32) : v << (32 - shift);
      EXPECT_EQ(fixed_window(x.data(), 3, shift, 93), static_cast<uint64_t>(scaled)) << shift;
    }
    uint32_t bits = 0;
    for (__int128 a = v < 0 ? ~v : v; a != 0; a >>= 1) ++bits;
    EXPECT_EQ(magnitude_bits(x.data(), 3), bits);
  }
}

TEST(FnDsaKeygenArith, FixedDivisionRoundsToNearest) {
  struct Case {
    int64_t a, b, q;  // raw values, 32 fractional bits
  };
  const Case cases[] = {
      {int64_t{1} << 32, int64_t{3} << 32, 1431655765},      // 1/3
      {int64_t{2} << 32, int64_t{3} << 32, 2863311531},      // 2/3 rounds up
      {-(int64_t{1} << 32), int64_t{3} << 32, -1431655765},  // sign of the dividend
      {int64_t{7} << 32, -(int64_t{2} << 32), -(int64_t{7} << 31)},
      {int64_t{1}, int64_t{2} << 32, 1},  // a half rounds up
  };
  for (const auto& c : cases) {
    const Fixed r = Fixed{static_cast<uint64_t>(c.a)} / Fixed{static_cast<uint64_t>(c.b)};
    EXPECT_EQ(r.as_signed(), c.q) << c.a << " / " << c.b;
  }
}

// The batched quotients, vector lanes and scalar tail alike, equal the
// single division on random operands of every size and on the edges
// (zero, the most negative value, quotients past 2^63 that wrap).
TEST(FnDsaKeygenArith, BatchedDivisionMatchesSingleDivision) {
  std::vector<uint64_t> raw;
  const auto bytes = vt_test::pseudo_random_bytes(77, 8 * 2 * 61);
  for (size_t i = 0; i < 2 * 61; ++i) {
    uint64_t w;
    std::memcpy(&w, bytes.data() + 8 * i, 8);
    raw.push_back(w >> (i % 61));  // magnitudes from 64 bits down to 3
  }
  const uint64_t edges[][2] = {{0, 1},
                               {1, 0},
                               {0x8000000000000000u, 1},
                               {1, 0x8000000000000000u},
                               {~0ull, 1},
                               {0x7FFFFFFFFFFFFFFFu, 1},
                               {3, ~0ull},
                               {0x100000000u, 0x300000000u}};
  for (const auto& e : edges) {
    raw.push_back(e[0]);
    raw.push_back(e[1]);
  }
  const size_t n = raw.size() / 2;
  std::vector<Fixed> num(n), den(n), expect(n);
  for (size_t i = 0; i < n; ++i) {
    num[i] = Fixed{raw[2 * i]};
    den[i] = Fixed{raw[2 * i + 1] | (i % 7 == 0 ? 0 : 1)};
    expect[i] = num[i] / den[i];
  }
  for (bool portable : {true, false}) {
    fndsa::detail::force_portable(portable);
    for (size_t len : {n, size_t{13}, size_t{4}, size_t{1}}) {
      std::vector<Fixed> got(num.begin(), num.begin() + static_cast<ptrdiff_t>(len));
      fixed_div_all(got.data(), den.data(), len);
      for (size_t i = 0; i < len; ++i)
        EXPECT_EQ(got[i].raw, expect[i].raw) << (portable ? "portable " : "") << len << " at " << i;
    }
    fndsa::detail::force_portable(false);
  }
}

// Inverting a whole array at once gives each value's own inverse, on the
// vector path and the portable one.
TEST(FnDsaKeygenArith, InvertAllGivesEachInverse) {
  for (size_t pi : {size_t{0}, size_t{37}, size_t{159}}) {
    const Modp& m = prime(pi).m;
    for (size_t n : {size_t{512}, size_t{8}, size_t{3}}) {
      Limbs b = random_limbs(900 + pi + n, n);
      for (auto& v : b) v = v % (m.p - 1) + 1;
      for (bool portable : {true, false}) {
        fndsa::detail::force_portable(portable);
        Limbs inv(n), scratch(n);
        invert_all(m, b.data(), inv.data(), n, scratch.data());
        fndsa::detail::force_portable(false);
        for (size_t i = 0; i < n; ++i)
          EXPECT_EQ(inv[i], m.inv_mont(m.to_mont(b[i]))) << pi << " " << n << " " << i << (portable ? " portable" : "");
      }
    }
  }
}

// A sum of products by words equals the same products added one at a time,
// for the sizes key generation meets, multipliers up to the extremes of 32
// bits, and sums that wrap at the accumulator's width.
TEST(FnDsaKeygenArith, ProductSumsMatchOneProductAtATime) {
  struct Case {
    size_t xlen, count, alen;
  };
  const Case cases[] = {{1, 1, 3}, {2, 2, 4}, {5, 3, 7}, {8, 16, 10}, {14, 8, 16}, {27, 4, 29}, {53, 2, 55}, {9, 5, 9}};
  for (const Case& k : cases) {
    for (uint64_t tag = 0; tag < 3; ++tag) {
      const Limbs x = random_limbs(1100 + 10 * k.xlen + tag, k.xlen * k.count);
      const auto cb = vt_test::pseudo_random_bytes(1200 + 10 * k.xlen + tag, 4 * k.count);
      std::vector<int32_t> c(k.count);
      for (size_t i = 0; i < k.count; ++i) {
        std::memcpy(&c[i], cb.data() + 4 * i, 4);
        if (tag == 1) c[i] = i % 2 ? INT32_MIN : INT32_MAX;
        if (tag == 2) c[i] >>= 20;
      }
      Limbs expect(k.alen, 0);
      for (size_t i = 0; i < k.count; ++i) add_mul(expect.data(), k.alen, x.data() + i * k.xlen, k.xlen, c[i]);
      for (bool portable : {true, false}) {
        fndsa::detail::force_portable(portable);
        Limbs got(k.alen, 0x5A5A5A5A);
        mul_sum(got.data(), k.alen, x.data(), k.xlen, c.data(), k.count);
        fndsa::detail::force_portable(false);
        EXPECT_EQ(got, expect) << k.xlen << " x " << k.count << " tag " << tag << (portable ? " portable" : "");
      }
    }
  }
}

}  // namespace
