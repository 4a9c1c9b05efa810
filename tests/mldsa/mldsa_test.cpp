// ML-DSA-44 primitive: arithmetic against direct definitions, the AVX2
// kernels and the multi-lane streams against the portable code, the shared
// fips204 vectors and the NIST ACVP vectors on every code path, and
// signature decoding rules.
#include "mldsa/mldsa.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "dispatch_paths.hpp"
#include "internal.hpp"
#include "keccak/keccak.hpp"
#include "vectors.hpp"
#include "xof_lanes.hpp"

namespace {

using namespace mldsa::detail;
using Bytes = std::vector<uint8_t>;

int64_t mod_q(int64_t a) {
  a %= kQ;
  return a < 0 ? a + kQ : a;
}

// a mod+- alpha in (-alpha/2, alpha/2] for even alpha.
int64_t mod_pm(int64_t a, int64_t alpha) {
  int64_t r = a % alpha;
  if (r < 0) r += alpha;
  if (r > alpha / 2) r -= alpha;
  return r;
}

TEST(MlDsaArith, DecomposeMatchesDefinitionForEveryResidue) {
  for (int32_t a = 0; a < kQ; ++a) {
    int64_t r0 = mod_pm(a, 2 * kGamma2);
    int64_t r1;
    if (a - r0 == kQ - 1) {
      r1 = 0;
      r0 -= 1;
    } else {
      r1 = (a - r0) / (2 * kGamma2);
    }
    int32_t g1, g0;
    decompose(a, g1, g0);
    ASSERT_EQ(g1, r1) << a;
    ASSERT_EQ(g0, r0) << a;
  }
}

TEST(MlDsaArith, Power2RoundMatchesDefinitionForEveryResidue) {
  for (int32_t a = 0; a < kQ; ++a) {
    const int64_t r0 = mod_pm(a, 1 << kD);
    int32_t g1, g0;
    power2round(a, g1, g0);
    ASSERT_EQ(g0, r0) << a;
    ASSERT_EQ(g1, (a - r0) >> kD) << a;
  }
}

TEST(MlDsaArith, UseHintMovesToTheNeighbouringHighPart) {
  for (int32_t a = 0; a < kQ; a += 977) {
    int32_t a1, a0;
    decompose(a, a1, a0);
    EXPECT_EQ(use_hint(a, 0), a1);
    const int32_t expect = a0 > 0 ? (a1 + 1) % 44 : (a1 + 43) % 44;
    EXPECT_EQ(use_hint(a, 1), expect);
  }
}

TEST(MlDsaArith, NttProductEqualsNegacyclicSchoolbookProduct) {
  const Bytes ra = vt_test::pseudo_random_bytes(1, 4 * kN);
  const Bytes rb = vt_test::pseudo_random_bytes(2, 4 * kN);
  Poly a, b;
  for (int i = 0; i < kN; ++i) {
    uint32_t x, y;
    std::memcpy(&x, &ra[4 * i], 4);
    std::memcpy(&y, &rb[4 * i], 4);
    a.c[i] = static_cast<int32_t>(x % (2 * kQ - 1)) - (kQ - 1);  // (-q, q)
    b.c[i] = static_cast<int32_t>(y % 5) - 2;
  }
  std::vector<int64_t> want(kN, 0);
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j) {
      const int64_t p = static_cast<int64_t>(a.c[i]) * b.c[j];
      if (i + j < kN)
        want[i + j] += p;
      else
        want[i + j - kN] -= p;
    }
  Poly ah = a, bh = b, r;
  ntt(ah);
  ntt(bh);
  pointwise_mont(r, ah, bh);
  invntt_tomont(r);
  for (int i = 0; i < kN; ++i) ASSERT_EQ(mod_q(r.c[i]), mod_q(want[i])) << i;
}

// The kernels and transforms of one vector form, beside the portable ones.
struct VectorForm {
  const char* name;
  Arith arith;
  void (*ntt)(Poly&, const int32_t*) noexcept;
  void (*invntt)(Poly&, const int32_t*, int32_t) noexcept;
  decltype(&portable::pointwise_mont) pointwise_mont;
  decltype(&portable::row_mul) row_mul;
  decltype(&portable::power2round_poly) power2round_poly;
  decltype(&portable::high_bits_poly) high_bits_poly;
  decltype(&portable::make_z) make_z;
  decltype(&portable::make_r) make_r;
  decltype(&portable::make_hint) make_hint;
  decltype(&portable::sub_reduce) sub_reduce;
  decltype(&portable::use_hint_poly) use_hint_poly;
  decltype(&portable::exceeds_norm) exceeds_norm;
  decltype(&portable::place_signs) place_signs;
  decltype(&portable::rej_ntt_append) rej_ntt_append;
  decltype(&portable::rej_eta_append) rej_eta_append;
  decltype(&portable::unpack_mask) unpack_mask;
};

#define VT_VECTOR_FORM(ns, level)                                                                                    \
  VectorForm {                                                                                                       \
#ns, level, ntt_##ns, invntt_##ns, ns::pointwise_mont, ns::row_mul, ns::power2round_poly, ns::high_bits_poly,    \
        ns::make_z, ns::make_r, ns::make_hint, ns::sub_reduce, ns::use_hint_poly, ns::exceeds_norm, ns::place_signs, \
        ns::rej_ntt_append, ns::rej_eta_append, ns::unpack_mask                                                      \
  }
const VectorForm kVectorForms[] = {VT_VECTOR_FORM(avx2, Arith::kAvx2), VT_VECTOR_FORM(avx512, Arith::kAvx512)};
#undef VT_VECTOR_FORM

class MlDsaVectorForm : public ::testing::TestWithParam<VectorForm> {
 protected:
  void SetUp() override {
    if (best_arith() < GetParam().arith) GTEST_SKIP() << GetParam().name << " not on this processor";
  }
};
INSTANTIATE_TEST_SUITE_P(Forms, MlDsaVectorForm, ::testing::ValuesIn(kVectorForms),
                         [](const ::testing::TestParamInfo<VectorForm>& i) { return std::string(i.param.name); });

// The vector transforms give the same representatives as the portable
// ones, over random inputs and the extremes of the permitted range.
TEST_P(MlDsaVectorForm, TransformsEqualPortableOnes) {
  const VectorForm& f = GetParam();
  for (uint64_t t = 0; t < 200; ++t) {
    const Bytes r = vt_test::pseudo_random_bytes(100 + t, 4 * kN);
    Poly a;
    for (int i = 0; i < kN; ++i) {
      uint32_t x;
      std::memcpy(&x, &r[4 * i], 4);
      a.c[i] = static_cast<int32_t>(x % (2 * kQ - 1)) - (kQ - 1);
      if (t == 0) a.c[i] = kQ - 1;
      if (t == 1) a.c[i] = -(kQ - 1);
    }
    Poly p = a, v = a;
    ntt_portable(p);
    f.ntt(v, zetas_for_tests());
    ASSERT_EQ(std::memcmp(p.c, v.c, sizeof p.c), 0) << t;
    p = a;
    v = a;
    invntt_portable(p);
    f.invntt(v, zetas_for_tests(), inv_scale_for_tests());
    ASSERT_EQ(std::memcmp(p.c, v.c, sizeof p.c), 0) << t;
  }
}

// Draws coefficients in [lo, hi], a quarter of them from the edge values
// that lie in that range.
Poly draw(uint64_t seed, int32_t lo, int32_t hi, std::initializer_list<int32_t> edges) {
  const Bytes r = vt_test::pseudo_random_bytes(seed, 8 * kN);
  std::vector<int32_t> inside;
  for (int32_t e : edges)
    if (e >= lo && e <= hi) inside.push_back(e);
  Poly p;
  for (int i = 0; i < kN; ++i) {
    uint32_t x, y;
    std::memcpy(&x, &r[8 * i], 4);
    std::memcpy(&y, &r[8 * i + 4], 4);
    const uint64_t span = static_cast<uint64_t>(hi) - lo + 1;
    p.c[i] = (x % 4 == 0 && !inside.empty()) ? inside[y % inside.size()]
                                             : static_cast<int32_t>(lo + static_cast<int64_t>(y % span));
  }
  return p;
}

bool same(const Poly& a, const Poly& b) { return std::memcmp(a.c, b.c, sizeof a.c) == 0; }

// Each vector kernel gives the portable kernel's outputs and flags over its
// whole input range, and over inputs that are zero but for one coefficient
// (in every lane position), where a flag hangs on that one value.
TEST_P(MlDsaVectorForm, KernelsEqualPortableOnes) {
  namespace pt = mldsa::detail::portable;
  const VectorForm& vx = GetParam();
  constexpr int32_t g1 = kGamma1, g2 = kGamma2, b = kBeta, q = kQ;
  const std::initializer_list<int32_t> edges = {
      0,          1,          -1,         q - 1,   -(q - 1),    (q - 1) / 2,      (q + 1) / 2, -(q - 1) / 2, g1 - b,
      g1 - b - 1, -(g1 - b),  g1,         -g1 + 1, g2,          g2 - 1,           -g2,         g2 - b,       -(g2 - b),
      2 * g2,     2 * g2 + 1, q - 1 - g2, q - g2,  43 * 2 * g2, 43 * 2 * g2 + g2, 9 * q - 1,   -(9 * q - 1)};
  for (uint64_t t = 0; t < 120; ++t) {
    SCOPED_TRACE(t);
    const bool single = t >= 40;  // one live coefficient, the rest zero
    auto in = [&](uint64_t k, int32_t lo, int32_t hi) {
      Poly p = draw(1000 * t + k, lo, hi, edges);
      if (single) {
        const int keep = static_cast<int>((t * 37 + k) % kN);
        for (int i = 0; i < kN; ++i)
          if (i != keep) p.c[i] = 0;
      }
      return p;
    };
    const Poly wide = in(1, -(q - 1), q - 1), wide2 = in(2, -(q - 1), q - 1);
    const Poly nine = in(3, -(9 * q - 1), 9 * q - 1), nine2 = in(4, -(9 * q - 1), 9 * q - 1);
    const Poly low = in(5, 0, q - 1), mask = in(6, -g1 + 1, g1), eta = in(7, -5, 5);
    Poly hint = in(8, 0, 1);
    PolyVecL row, vec;
    for (int j = 0; j < kL; ++j) row[j] = in(10 + j, 0, q - 1), vec[j] = in(20 + j, -(9 * q - 1), 9 * q - 1);

    Poly p1, p2, v1, v2;
    pt::pointwise_mont(p1, nine, nine2);
    vx.pointwise_mont(v1, nine, nine2);
    EXPECT_TRUE(same(p1, v1)) << "pointwise_mont";
    pt::row_mul(p1, row, vec);
    vx.row_mul(v1, row, vec);
    EXPECT_TRUE(same(p1, v1)) << "row_mul";
    pt::power2round_poly(p1, p2, wide, eta);
    vx.power2round_poly(v1, v2, wide, eta);
    EXPECT_TRUE(same(p1, v1) && same(p2, v2)) << "power2round_poly";
    p2 = wide, v2 = wide;
    pt::high_bits_poly(p1, p2);
    vx.high_bits_poly(v1, v2);
    EXPECT_TRUE(same(p1, v1) && same(p2, v2)) << "high_bits_poly";
    EXPECT_EQ(pt::make_z(p1, mask, wide), vx.make_z(v1, mask, wide)) << "make_z";
    EXPECT_TRUE(same(p1, v1)) << "make_z";
    EXPECT_EQ(pt::make_r(p1, low, wide), vx.make_r(v1, low, wide)) << "make_r";
    EXPECT_TRUE(same(p1, v1)) << "make_r";
    int32_t pc = 3, vc = 3;
    EXPECT_EQ(pt::make_hint(p1, &pc, low, wide2), vx.make_hint(v1, &vc, low, wide2)) << "make_hint";
    EXPECT_TRUE(same(p1, v1) && pc == vc) << "make_hint";
    p1 = nine, v1 = nine;
    pt::sub_reduce(p1, nine2);
    vx.sub_reduce(v1, nine2);
    EXPECT_TRUE(same(p1, v1)) << "sub_reduce";
    pt::use_hint_poly(p1, wide, hint);
    vx.use_hint_poly(v1, wide, hint);
    EXPECT_TRUE(same(p1, v1)) << "use_hint_poly";
    uint8_t js[kTau];
    const Bytes jr = vt_test::pseudo_random_bytes(5000 + t, kTau + 8);
    for (int k = 0; k < kTau; ++k) {
      const int i = kN - kTau + k;
      js[k] = static_cast<uint8_t>(t % 3 == 0 && k % 5 == 0 ? i : jr[k] % (i + 1));  // j == i too
    }
    uint64_t signs;
    std::memcpy(&signs, &jr[kTau], 8);
    pt::place_signs(p1, js, signs);
    vx.place_signs(v1, js, signs);
    EXPECT_TRUE(same(p1, v1)) << "place_signs";
    // Candidates near q, a third of them at or above it, from several starts.
    Bytes cand = vt_test::pseudo_random_bytes(6000 + t, 3 * 300);
    for (size_t k = 2; k < cand.size(); k += 9)
      if (t % 2 == 0) cand[k] = static_cast<uint8_t>(0x7F | (cand[k] & 0x80)), cand[k - 1] |= 0xE0;
    const int start = static_cast<int>(t % 7) * 37;
    const size_t len = cand.size() - (t % 5) * 3 - (t % 3);
    p1 = v1 = Poly{};
    EXPECT_EQ(pt::rej_ntt_append(p1, start, cand.data(), len), vx.rej_ntt_append(v1, start, cand.data(), len));
    EXPECT_TRUE(same(p1, v1)) << "rej_ntt_append";
    // Half-bytes of 15 (refused) in runs and alone, from several starts.
    Bytes nibbles = vt_test::pseudo_random_bytes(7000 + t, 300);
    for (size_t k = 0; k < nibbles.size(); k += 3 + t % 4) nibbles[k] |= static_cast<uint8_t>(k % 2 ? 0xF0 : 0x0F);
    const int eta_start = static_cast<int>(t % 9) * 29;
    const size_t eta_len = nibbles.size() - t % 11;
    p1 = v1 = Poly{};
    EXPECT_EQ(pt::rej_eta_append(p1, eta_start, nibbles.data(), eta_len),
              vx.rej_eta_append(v1, eta_start, nibbles.data(), eta_len));
    EXPECT_TRUE(same(p1, v1)) << "rej_eta_append";
    const Bytes packed = vt_test::pseudo_random_bytes(8000 + t, kZPolyLen + 28);
    pt::unpack_mask(p1, packed.data());
    vx.unpack_mask(v1, packed.data());
    EXPECT_TRUE(same(p1, v1)) << "unpack_mask";
    const Poly centred[2] = {in(30, -(q - 1) / 2, (q - 1) / 2), in(31, -(g1 - b), g1 - b)};
    for (int32_t bound : {g1 - b, g2, g2 - b}) {
      EXPECT_EQ(pt::exceeds_norm(centred, 2, bound), vx.exceeds_norm(centred, 2, bound)) << bound;
      EXPECT_EQ(pt::exceeds_norm(centred + 1, 1, bound), vx.exceeds_norm(centred + 1, 1, bound)) << bound;
    }
  }
}

// The AVX-512 encodings write the portable bytes and not one byte more,
// the hint packing included,
// read no byte past their input, and decode (with the eta verdict) as the
// portable ones: over each field's range with its edges, over raw int32
// values (masked to the field width alike), and over arbitrary bytes.
TEST(MlDsaArith, Avx512EncodingsEqualPortableOnes) {
  if (best_arith() < Arith::kAvx512) GTEST_SKIP() << "avx512 not on this processor";
  namespace pt = mldsa::detail::portable;
  namespace vx = mldsa::detail::avx512;
  using Pack = void (*)(uint8_t*, const Poly&) noexcept;
  using Unpack = uint32_t (*)(Poly&, const uint8_t*);
  struct Encoding {
    const char* name;
    size_t len;
    int32_t lo, hi;
    Pack pack[2];
    Unpack unpack[2];
  };
  constexpr int32_t top = 1 << (kD - 1);
  const Encoding encodings[] = {
      {"t1",
       kT1PolyLen,
       0,
       (1 << 10) - 1,
       {pt::pack_t1, vx::pack_t1},
       {[](Poly& p, const uint8_t* in) -> uint32_t { return pt::unpack_t1(p, in), 0; },
        [](Poly& p, const uint8_t* in) -> uint32_t { return vx::unpack_t1(p, in), 0; }}},
      {"t0",
       kT0PolyLen,
       -top + 1,
       top,
       {pt::pack_t0, vx::pack_t0},
       {[](Poly& p, const uint8_t* in) -> uint32_t { return pt::unpack_t0(p, in), 0; },
        [](Poly& p, const uint8_t* in) -> uint32_t { return vx::unpack_t0(p, in), 0; }}},
      {"eta",
       kEtaPolyLen,
       -kEta,
       kEta,
       {pt::pack_eta, vx::pack_eta},
       {[](Poly& p, const uint8_t* in) { return pt::unpack_eta(p, in); },
        [](Poly& p, const uint8_t* in) { return vx::unpack_eta(p, in); }}},
      {"w1", kW1PolyLen, 0, 43, {pt::pack_w1, vx::pack_w1}, {nullptr, nullptr}},
  };
  for (uint64_t t = 0; t < 100; ++t) {
    for (const Encoding& e : encodings) {
      SCOPED_TRACE(std::string(e.name) + " " + std::to_string(t));
      Poly p = draw(9000 + t, e.lo, e.hi, {e.lo, e.hi, 0, e.lo + 1, e.hi - 1});
      if (t % 10 == 9) {
        const Bytes r = vt_test::pseudo_random_bytes(9500 + t, 4 * kN);
        std::memcpy(p.c, r.data(), sizeof p.c);
      }
      Bytes out[2];
      for (int f = 0; f < 2; ++f) {
        out[f].assign(e.len + 16, 0xA5);
        e.pack[f](out[f].data(), p);
      }
      EXPECT_EQ(out[0], out[1]);
      EXPECT_EQ(Bytes(out[1].begin() + e.len, out[1].end()), Bytes(16, 0xA5)) << "wrote past the end";
      if (e.unpack[0] == nullptr) continue;
      // Exactly sized on the heap, so that a read past the end shows under
      // the address sanitizer.
      Bytes in = vt_test::pseudo_random_bytes(9700 + t, e.len);
      if (t < 2) in.assign(e.len, t == 0 ? 0xFF : 0x00);
      if (t >= 2 && t < 12) in.assign(out[0].begin(), out[0].begin() + e.len);  // a valid encoding
      Poly u[2];
      const uint32_t flag0 = e.unpack[0](u[0], in.data()), flag1 = e.unpack[1](u[1], in.data());
      EXPECT_EQ(flag0, flag1);
      EXPECT_TRUE(same(u[0], u[1]));
    }
    // Hints: from none to omega ones, bunched in one polynomial or spread,
    // at the first and last positions too.
    PolyVecK h{};
    const int ones = static_cast<int>(t * 17 % (kOmega + 1));
    const Bytes r = vt_test::pseudo_random_bytes(9900 + t, 2 * kOmega);
    for (int k = 0; k < ones; ++k) {
      const int poly = t % 3 == 0 ? static_cast<int>(t / 3 % kK) : r[2 * k] % kK;
      const int at = k == 0 ? (t % 2 ? kN - 1 : 0) : r[2 * k + 1];
      h[poly].c[at] = 1;
    }
    uint8_t hp[kOmega + kK], hv[kOmega + kK];
    std::memset(hv, 0xA5, sizeof hv);
    pt::pack_hint(hp, h);
    vx::pack_hint(hv, h);
    EXPECT_EQ(std::memcmp(hp, hv, sizeof hp), 0) << "pack_hint " << t;
  }
}

// Every stream of the multi-lane SHAKE equals the one-lane SHAKE of its
// seed and index, over several blocks, on every Keccak backend here.
TEST(MlDsaArith, KeccakLaneStreamsEqualOneLaneShake) {
  const Bytes seed = vt_test::pseudo_random_bytes(77, 64);
  const keccak::Backend caps[] = {keccak::Backend::kPortable, keccak::Backend::kAvx2, keccak::Backend::kAvx512f,
                                  keccak::Backend::kAvx512vl};
  for (keccak::Backend cap : caps) {
    if (cap > keccak::best_backend()) continue;
    keccak::cap_backend(cap);
    SCOPED_TRACE(keccak::x8_backend());
    auto check = [&](auto& lanes, size_t n, size_t rate, size_t seed_len, const uint16_t* index, bool shake128) {
      std::vector<Bytes> got(n, Bytes(3 * rate));
      std::vector<uint8_t*> out(n);
      for (size_t k = 0; k < n; ++k) out[k] = got[k].data();
      lanes.squeeze(out.data(), 1);
      for (size_t k = 0; k < n; ++k) out[k] += rate;
      lanes.squeeze(out.data(), 2);
      for (size_t k = 0; k < n; ++k) {
        Bytes in(seed.begin(), seed.begin() + static_cast<long>(seed_len));
        in.push_back(static_cast<uint8_t>(index[k]));
        in.push_back(static_cast<uint8_t>(index[k] >> 8));
        Bytes want(3 * rate);
        if (shake128)
          keccak::shake128(in.data(), in.size(), want.data(), want.size());
        else
          keccak::shake256(in.data(), in.size(), want.data(), want.size());
        EXPECT_EQ(got[k], want) << k;
      }
    };
    const uint16_t index[8] = {0, 1, 0x0100, 0x0302, 7, 0xFFFF, 0x8000, 65532};
    Shake128x8 a(seed.data(), 32, index);
    check(a, 8, 168, 32, index, true);
    Shake256x8 b(seed.data(), 64, index);
    check(b, 8, 136, 64, index, false);
    Shake256x4 c(seed.data(), 64, index + 4);
    check(c, 4, 136, 64, index + 4, false);
  }
  keccak::uncap_backend();
}

// The matrix with a hash in a spare lane equals the matrix and the one-lane
// hash apart, for messages around the block boundaries and past ten blocks.
TEST(MlDsaArith, MatrixWithHashLaneEqualsBothApart) {
  const Bytes rho = vt_test::pseudo_random_bytes(78, 32);
  for (keccak::Backend cap :
       {keccak::Backend::kPortable, keccak::Backend::kAvx2, keccak::Backend::kAvx512f, keccak::Backend::kAvx512vl}) {
    if (cap > keccak::best_backend()) continue;
    keccak::cap_backend(cap);
    SCOPED_TRACE(keccak::x8_backend());
    Matrix want;
    expand_a(want, rho.data());
    for (size_t len : {size_t{0}, size_t{135}, size_t{136}, size_t{137}, size_t{1312}, size_t{1360}, size_t{2000}}) {
      SCOPED_TRACE(len);
      const Bytes msg = vt_test::pseudo_random_bytes(900 + len, len);
      Bytes digest(64), want_digest(64);
      keccak::shake256(msg.data(), len, want_digest.data(), 64);
      Matrix got;
      expand_a_hashing(got, rho.data(), msg.data(), len, digest.data(), 64);
      EXPECT_EQ(digest, want_digest);
      for (int i = 0; i < kK; ++i)
        for (int j = 0; j < kL; ++j) EXPECT_TRUE(std::memcmp(got[i][j].c, want[i][j].c, sizeof(Poly)) == 0) << i << j;
    }
  }
  keccak::uncap_backend();
}

TEST(MlDsaArith, NormCheckSeesEveryCoefficient) {
  Poly p[2] = {};
  EXPECT_EQ(exceeds_norm(p, 2, 5), 0u);
  p[1].c[255] = -5;
  EXPECT_EQ(exceeds_norm(p, 2, 5), 1u);
  EXPECT_EQ(exceeds_norm(p, 2, 6), 0u);
  p[0].c[0] = 6;
  EXPECT_EQ(exceeds_norm(p, 1, 6), 1u);
}

// The direct placement for public challenges gives the same polynomial.
TEST(MlDsaArith, SampleInBallHasTauSignedOnes) {
  uint8_t seed[kCTildeLen];
  for (int t = 0; t < 400; ++t) {
    for (size_t i = 0; i < kCTildeLen; ++i) seed[i] = static_cast<uint8_t>(t * 31 + i);
    if (t >= 32) std::memcpy(seed, vt_test::pseudo_random_bytes(t, kCTildeLen).data(), kCTildeLen);
    Poly c, direct;
    sample_in_ball(c, seed);
    sample_in_ball_public(direct, seed);
    ASSERT_TRUE(same(c, direct)) << t;
    int nonzero = 0;
    for (int i = 0; i < kN; ++i) {
      ASSERT_TRUE(c.c[i] >= -1 && c.c[i] <= 1);
      nonzero += c.c[i] != 0;
    }
    EXPECT_EQ(nonzero, kTau);
  }
}

// ---- shared fips204 vectors ----

template <size_t N>
std::span<const uint8_t, N> fixed(const Bytes& b) {
  EXPECT_EQ(b.size(), N);
  return std::span<const uint8_t, N>(b.data(), N);
}

class MlDsaOnPath : public vt_test::MlDsaPathTest {};
VT_MLDSA_ON_EVERY_PATH(MlDsaOnPath);

TEST_P(MlDsaOnPath, KeygenSignVerifyMatchFips204) {
  const auto& doc = vt_test::load_vectors("ml_dsa_44.json");
  const auto& cases = vt_test::field(doc, "cases");
  ASSERT_FALSE(cases.empty());
  const Bytes zero(32, 0);
  for (const auto& c : cases) {
    const Bytes xi = vt_test::hex_field(vt_test::field(c, "xi"), "hex");
    Bytes pk(mldsa::kPublicKeyLen), sk(mldsa::kSecretKeyLen);
    mldsa::keygen(fixed<32>(xi), std::span<uint8_t, 1312>(pk), std::span<uint8_t, 2560>(sk));
    ASSERT_EQ(vt_test::to_hex(pk), vt_test::string_field(c, "public_key_hex"));
    ASSERT_EQ(vt_test::to_hex(sk), vt_test::string_field(c, "private_key_hex"));

    for (const auto& s : vt_test::field(c, "signatures")) {
      const Bytes msg = vt_test::hex_field(s, "message_hex");
      const Bytes ctx = vt_test::hex_field(s, "ctx_hex");
      const Bytes rnd = vt_test::hex_field(vt_test::field(s, "rnd"), "hex");
      const Bytes want = vt_test::hex_field(s, "signature_hex");
      Bytes sig(mldsa::kSignatureLen);
      std::span<uint8_t, 2420> out(sig);
      ASSERT_EQ(mldsa::sign(fixed<2560>(sk), msg, ctx, fixed<32>(rnd), out), mldsa::SignStatus::Ok);
      EXPECT_EQ(vt_test::to_hex(sig), vt_test::to_hex(want));
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), msg, ctx, fixed<2420>(sig)), vt_test::field(s, "verifies").get<bool>());
      if (!ctx.empty()) {
        EXPECT_FALSE(mldsa::verify(fixed<1312>(pk), msg, {}, fixed<2420>(sig)));
        continue;
      }
      // The same signature through the internal interface over M'.
      const Bytes m_prime =
          vt_test::hex_field(s, "m_prime_hex (0x00 || len(ctx) || ctx || M, input of ML-DSA.Sign_internal)");
      Bytes sig2(mldsa::kSignatureLen);
      ASSERT_EQ(mldsa::sign_internal(fixed<2560>(sk), m_prime, fixed<32>(rnd), std::span<uint8_t, 2420>(sig2)),
                mldsa::SignStatus::Ok);
      EXPECT_EQ(sig2, sig);
      EXPECT_TRUE(mldsa::verify_internal(fixed<1312>(pk), m_prime, fixed<2420>(sig)));

      const Bytes want0 = vt_test::hex_field(s, "signature_rnd_zero_hex");
      ASSERT_EQ(mldsa::sign(fixed<2560>(sk), msg, {}, fixed<32>(zero), out), mldsa::SignStatus::Ok);
      EXPECT_EQ(vt_test::to_hex(sig), vt_test::to_hex(want0));
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), msg, {}, fixed<2420>(sig)),
                vt_test::field(s, "signature_rnd_zero_verifies").get<bool>());

      Bytes longer = msg;
      longer.push_back(0);
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), longer, {}, fixed<2420>(sig)),
                vt_test::field(s, "verifies_with_message_plus_00").get<bool>());
      const uint8_t ctx78[1] = {0x78};
      EXPECT_EQ(mldsa::verify(fixed<1312>(pk), msg, ctx78, fixed<2420>(sig)),
                vt_test::field(s, "verifies_with_ctx_78").get<bool>());
    }
  }
}

// ---- NIST ACVP (internal interface: the message is M') ----

const vt_test::json& acvp() {
  static const vt_test::json doc = [] {
    std::ifstream f(std::string(MLDSA_TEST_DATA) + "/acvp_ml_dsa_44.json");
    if (!f) throw std::runtime_error("missing acvp_ml_dsa_44.json");
    return vt_test::json::parse(f);
  }();
  return doc;
}

TEST_P(MlDsaOnPath, AcvpKeyGen) {
  const auto& tests = vt_test::field(acvp(), "keyGen");
  ASSERT_EQ(tests.size(), 25u);
  for (const auto& t : tests) {
    const Bytes seed = vt_test::hex_field(t, "seed");
    Bytes pk(mldsa::kPublicKeyLen), sk(mldsa::kSecretKeyLen);
    mldsa::keygen(fixed<32>(seed), std::span<uint8_t, 1312>(pk), std::span<uint8_t, 2560>(sk));
    EXPECT_EQ(vt_test::to_hex(pk), vt_test::string_field(t, "pk")) << t["tcId"];
    EXPECT_EQ(vt_test::to_hex(sk), vt_test::string_field(t, "sk")) << t["tcId"];
  }
}

TEST_P(MlDsaOnPath, AcvpSigGen) {
  const auto& tests = vt_test::field(acvp(), "sigGen");
  ASSERT_EQ(tests.size(), 20u);
  for (const auto& t : tests) {
    const Bytes sk = vt_test::hex_field(t, "sk");
    const Bytes msg = vt_test::hex_field(t, "message");
    const Bytes rnd = vt_test::hex_field(t, "rnd");
    Bytes sig(mldsa::kSignatureLen);
    ASSERT_EQ(mldsa::sign_internal(fixed<2560>(sk), msg, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
              mldsa::SignStatus::Ok);
    EXPECT_EQ(vt_test::to_hex(sig), vt_test::string_field(t, "signature")) << t["tcId"];
  }
}

TEST_P(MlDsaOnPath, AcvpSigVer) {
  const auto& tests = vt_test::field(acvp(), "sigVer");
  ASSERT_EQ(tests.size(), 15u);
  for (const auto& t : tests) {
    const Bytes pk = vt_test::hex_field(t, "pk");
    const Bytes msg = vt_test::hex_field(t, "message");
    const Bytes sig = vt_test::hex_field(t, "signature");
    EXPECT_EQ(mldsa::verify_internal(fixed<1312>(pk), msg, fixed<2420>(sig)),
              vt_test::field(t, "testPassed").get<bool>())
        << t["tcId"] << " " << t["reason"];
  }
}

}  // namespace

namespace {

// ---- rejection bound, decoding rules, interface edges ----

struct KeyPair {
  Bytes pk = Bytes(mldsa::kPublicKeyLen);
  Bytes sk = Bytes(mldsa::kSecretKeyLen);
};

KeyPair keypair(uint64_t seed_id) {
  const Bytes xi = vt_test::pseudo_random_bytes(seed_id, 32);
  KeyPair kp;
  mldsa::keygen(fixed<32>(xi), std::span<uint8_t, 1312>(kp.pk), std::span<uint8_t, 2560>(kp.sk));
  return kp;
}

Bytes sign_ok(const Bytes& sk, const Bytes& msg, const Bytes& rnd) {
  Bytes sig(mldsa::kSignatureLen);
  EXPECT_EQ(mldsa::sign(fixed<2560>(sk), msg, {}, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
            mldsa::SignStatus::Ok);
  return sig;
}

// The attempts prepared one or two at a time: the same signatures, and the
// same number of attempts needed, the bound cutting a pair in two.
TEST(MlDsaSign, AttemptBoundStopsWithZeroedOutputAndLeavesResultUnchanged) {
  const KeyPair kp = keypair(7);
  const Bytes rnd(32, 0x5A);
  int multi_attempt_cases = 0;
  for (uint8_t m = 0; m < 16; ++m) {
    const Bytes m_prime = {0x00, 0x00, m};
    uint32_t needed_first = 0;
    Bytes want_first;
    for (AttemptPairs mode : {AttemptPairs::kNever, AttemptPairs::kAlways}) {
      set_attempt_pairs(mode);
      SCOPED_TRACE(mode == AttemptPairs::kNever ? "one at a time" : "two at a time");
      Bytes want(mldsa::kSignatureLen);
      ASSERT_EQ(mldsa::sign_internal(fixed<2560>(kp.sk), m_prime, fixed<32>(rnd), std::span<uint8_t, 2420>(want)),
                mldsa::SignStatus::Ok);
      uint32_t needed = 1;
      Bytes sig(mldsa::kSignatureLen, 0xEE);
      while (sign_internal_limited(fixed<2560>(kp.sk), m_prime, fixed<32>(rnd), std::span<uint8_t, 2420>(sig),
                                   needed) != mldsa::SignStatus::Ok) {
        EXPECT_EQ(sig, Bytes(mldsa::kSignatureLen, 0));
        ++needed;
        ASSERT_LT(needed, 200u);
      }
      EXPECT_EQ(sig, want);
      if (needed_first == 0) {
        needed_first = needed;
        want_first = want;
      } else {
        EXPECT_EQ(needed, needed_first);
        EXPECT_EQ(want, want_first);
      }
      if (needed > 1) ++multi_attempt_cases;
    }
    set_attempt_pairs(AttemptPairs::kAuto);
  }
  EXPECT_GT(multi_attempt_cases, 0);
}

TEST(MlDsaSign, ContextOver255BytesIsRefused) {
  const KeyPair kp = keypair(8);
  const Bytes rnd(32, 1), ctx255(255, 0x33), ctx256(256, 0x33), msg = {1, 2, 3};
  Bytes sig(mldsa::kSignatureLen, 0xEE);
  EXPECT_EQ(mldsa::sign(fixed<2560>(kp.sk), msg, ctx256, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
            mldsa::SignStatus::ContextTooLong);
  EXPECT_EQ(sig, Bytes(mldsa::kSignatureLen, 0xEE));
  ASSERT_EQ(mldsa::sign(fixed<2560>(kp.sk), msg, ctx255, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
            mldsa::SignStatus::Ok);
  EXPECT_TRUE(mldsa::verify(fixed<1312>(kp.pk), msg, ctx255, fixed<2420>(sig)));
  EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, ctx256, fixed<2420>(sig)));
  // The pure interface is the internal one over 0x00 || 255 || ctx || msg.
  Bytes m_prime = {0x00, 0xFF};
  m_prime.insert(m_prime.end(), ctx255.begin(), ctx255.end());
  m_prime.insert(m_prime.end(), msg.begin(), msg.end());
  EXPECT_TRUE(mldsa::verify_internal(fixed<1312>(kp.pk), m_prime, fixed<2420>(sig)));
}

// Secret keys whose packed s1/s2 fields hold 5..7 (coefficients -3..-5)
// do not decode: signing refuses them and zeroes the output. t0 decodes
// from any bytes, so a key with only t0 changed still signs.
TEST(MlDsaSign, OutOfRangeSecretCoefficientsDoNotDecode) {
  const KeyPair kp = keypair(9);
  const Bytes rnd(32, 0), msg = {9};
  Bytes bad = kp.sk;
  for (size_t i = kSkS1Offset; i < kSkT0Offset; ++i) bad[i] = 0xFF;
  const Bytes all_ff(mldsa::kSecretKeyLen, 0xFF);
  for (const Bytes* key : std::initializer_list<const Bytes*>{&bad, &all_ff}) {
    Bytes sig(mldsa::kSignatureLen, 0xEE);
    EXPECT_EQ(mldsa::sign(fixed<2560>(*key), msg, {}, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
              mldsa::SignStatus::MalformedKey);
    EXPECT_EQ(sig, Bytes(mldsa::kSignatureLen, 0));
    EXPECT_EQ(mldsa::sign_internal(fixed<2560>(*key), msg, fixed<32>(rnd), std::span<uint8_t, 2420>(sig)),
              mldsa::SignStatus::MalformedKey);
  }
  Bytes t0_changed = kp.sk;
  for (size_t i = kSkT0Offset; i < mldsa::kSecretKeyLen; ++i) t0_changed[i] = 0xFF;
  const Bytes sig = sign_ok(t0_changed, msg, rnd);
  EXPECT_EQ(sign_ok(t0_changed, msg, rnd), sig);
}

// Hint-field encodings that FIPS 204's HintBitUnpack refuses.
TEST(MlDsaVerify, MalformedHintsAreRefused) {
  const KeyPair kp = keypair(10);
  const Bytes msg = {4, 5, 6}, rnd(32, 2);
  const Bytes sig = sign_ok(kp.sk, msg, rnd);
  ASSERT_TRUE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(sig)));
  const size_t counts = kSigHintOffset + kOmega;
  const uint8_t total = sig[counts + kK - 1];
  ASSERT_GE(total, 2);
  ASSERT_LT(total, kOmega);

  struct Case {
    const char* what;
    void (*mutate)(Bytes&, size_t counts, uint8_t total);
  };
  const Case cases[] = {
      {"count above omega", [](Bytes& s, size_t c, uint8_t) { s[c + kK - 1] = kOmega + 1; }},
      {"counts decreasing",
       [](Bytes& s, size_t c, uint8_t) {
         s[c + 1] = static_cast<uint8_t>(s[c] - 1);
         if (s[c] == 0) s[c] = 1, s[c + 1] = 0;
       }},
      {"nonzero padding", [](Bytes& s, size_t, uint8_t t) { s[kSigHintOffset + t] = 1; }},
      {"indices not increasing", [](Bytes& s, size_t, uint8_t) { s[kSigHintOffset + 1] = s[kSigHintOffset]; }},
  };
  for (const auto& c : cases) {
    Bytes m = sig;
    c.mutate(m, counts, total);
    EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(m))) << c.what;
  }
}

TEST(MlDsaVerify, LargeZIsRefusedAndEveryRegionIsBound) {
  const KeyPair kp = keypair(11);
  const Bytes msg = {7}, rnd(32, 3);
  const Bytes sig = sign_ok(kp.sk, msg, rnd);
  // z coefficient 0 packed as gamma1 - z = 0: z = gamma1, over the bound.
  Bytes m = sig;
  m[kSigZOffset] = 0;
  m[kSigZOffset + 1] = 0;
  m[kSigZOffset + 2] &= 0xFC;
  EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(m)));
  // One flipped bit anywhere in c~, z, or the hint indices, or in the key.
  for (size_t pos : {size_t{0}, size_t{31}, kSigZOffset + 100, kSigHintOffset - 1}) {
    Bytes f = sig;
    f[pos] ^= 0x10;
    EXPECT_FALSE(mldsa::verify(fixed<1312>(kp.pk), msg, {}, fixed<2420>(f))) << pos;
  }
  for (size_t pos : {size_t{0}, size_t{40}, mldsa::kPublicKeyLen - 1}) {
    Bytes pk = kp.pk;
    pk[pos] ^= 1;
    EXPECT_FALSE(mldsa::verify(fixed<1312>(pk), msg, {}, fixed<2420>(sig))) << pos;
  }
}

}  // namespace
