// FN-DSA-512 behaviour beyond the known answers: round trips, tampering,
// the NTRU equation of generated keys, and decoding errors.
#include "fndsa/fndsa.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dispatch.hpp"
#include "internal.hpp"
#include "vectors.hpp"

namespace {

using fndsa::kN;

struct Keys {
  std::vector<uint8_t> sk = std::vector<uint8_t>(fndsa::kSigningKeyLen);
  std::vector<uint8_t> vk = std::vector<uint8_t>(fndsa::kVerifyingKeyLen);
};

Keys make_keys(uint64_t tag) {
  Keys k;
  auto seed = vt_test::pseudo_random_bytes(tag, 32);
  fndsa::keygen_from_seed(seed.data(), k.sk.data(), k.vk.data());
  return k;
}

const std::vector<Keys>& keys() {
  static const std::vector<Keys> ks = {make_keys(1), make_keys(2), make_keys(3)};
  return ks;
}

std::vector<uint8_t> sign(const Keys& k, const std::vector<uint8_t>& msg, const std::vector<uint8_t>& ctx,
                          uint64_t tag) {
  fndsa::SigningKey sk;
  EXPECT_TRUE(sk.decode(k.sk));
  auto seed = vt_test::pseudo_random_bytes(tag, 40);
  std::vector<uint8_t> sig(fndsa::kSignatureLen);
  EXPECT_EQ(sk.sign_with_seed(msg, ctx, seed.data(), sig.data()), fndsa::SignStatus::Ok);
  return sig;
}

// Coefficients of the signing key: f, g (6 bits), F (8 bits), least
// significant bits first.
std::vector<int32_t> unpack(const uint8_t* p, unsigned bits) {
  std::vector<int32_t> out;
  uint32_t acc = 0;
  unsigned n = 0;
  while (out.size() < kN) {
    acc |= uint32_t{*p++} << n;
    n += 8;
    while (n >= bits && out.size() < kN) {
      int32_t v = static_cast<int32_t>(acc & ((1u << bits) - 1));
      if (v >= (1 << (bits - 1))) v -= 1 << bits;
      out.push_back(v);
      acc >>= bits;
      n -= bits;
    }
  }
  return out;
}

// a * b in Z[X]/(X^512 + 1), schoolbook
std::vector<int64_t> negacyclic(const std::vector<int64_t>& a, const std::vector<int64_t>& b) {
  std::vector<int64_t> r(kN, 0);
  for (size_t i = 0; i < kN; ++i) {
    for (size_t j = 0; j < kN; ++j) {
      const int64_t p = a[i] * b[j];
      if (i + j < kN)
        r[i + j] += p;
      else
        r[i + j - kN] -= p;
    }
  }
  return r;
}

TEST(FnDsa, KeygenIsDeterministicAndShaped) {
  auto a = make_keys(1);
  EXPECT_EQ(a.sk, keys()[0].sk);
  EXPECT_EQ(a.vk, keys()[0].vk);
  EXPECT_EQ(a.sk[0], 0x59);
  EXPECT_EQ(a.vk[0], 0x09);
  uint8_t h[64];
  fndsa::hash_verifying_key(a.vk, h);
  EXPECT_EQ(0, std::memcmp(h, a.sk.data() + 1281, 64));
  EXPECT_NE(keys()[0].vk, keys()[1].vk);
}

TEST(FnDsa, GeneratedKeysSolveTheNtruEquation) {
  for (const auto& k : keys()) {
    auto f = unpack(k.sk.data() + 1, 6);
    auto g = unpack(k.sk.data() + 385, 6);
    auto F = unpack(k.sk.data() + 769, 8);
    // h from the verifying key, back from NTT form.
    uint16_t h[kN];
    ASSERT_TRUE(fndsa::detail::modq_decode(k.vk.data() + 1, 896, h));
    fndsa::detail::intt(h);
    std::vector<int64_t> f64(f.begin(), f.end()), g64(g.begin(), g.end()), F64(F.begin(), F.end());
    std::vector<int64_t> h64(h, h + kN);
    // h f = g mod q
    auto hf = negacyclic(h64, f64);
    for (size_t i = 0; i < kN; ++i) EXPECT_EQ(((hf[i] - g64[i]) % 12289 + 12289) % 12289, 0) << i;
    // G = h F mod q, centred; then f G - g F = q exactly.
    auto hF = negacyclic(h64, F64);
    std::vector<int64_t> G(kN);
    for (size_t i = 0; i < kN; ++i) {
      int64_t v = ((hF[i] % 12289) + 12289) % 12289;
      G[i] = v > 6144 ? v - 12289 : v;
      EXPECT_LE(std::abs(G[i]), 127);
    }
    auto fG = negacyclic(f64, G);
    auto gF = negacyclic(g64, F64);
    EXPECT_EQ(fG[0] - gF[0], 12289);
    for (size_t i = 1; i < kN; ++i) EXPECT_EQ(fG[i] - gF[i], 0) << i;
    // The signer recomputes the same verifying key from f, g and F.
    fndsa::SigningKey sk;
    ASSERT_TRUE(sk.decode(k.sk));
    std::vector<uint8_t> vk(fndsa::kVerifyingKeyLen);
    sk.to_verifying_key(vk.data());
    EXPECT_EQ(vk, k.vk);
  }
}

// The vector code and the portable code give the same keys and signatures,
// and agree on verification, over random seeds, messages and tampered
// signatures.
TEST(FnDsa, VectorAndPortableCodeAgree) {
  if (!fndsa::detail::use_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
  auto run = [](bool portable, uint64_t tag) {
    fndsa::detail::force_portable(portable);
    Keys k = make_keys(1000 + tag);
    const auto msg = vt_test::pseudo_random_bytes(2000 + tag, tag % 97);
    auto sig = sign(k, msg, {}, 3000 + tag);
    std::vector<uint8_t> out = k.sk;
    out.insert(out.end(), k.vk.begin(), k.vk.end());
    out.insert(out.end(), sig.begin(), sig.end());
    out.push_back(fndsa::verify(k.vk, msg, {}, sig));
    sig[1 + tag % (sig.size() - 1)] ^= 0x10;
    out.push_back(fndsa::verify(k.vk, msg, {}, sig));
    fndsa::detail::force_portable(false);
    return out;
  };
  for (uint64_t tag = 0; tag < 12; ++tag) EXPECT_EQ(run(true, tag), run(false, tag)) << "seed " << tag;
}

TEST(FnDsa, SignVerifyRoundTrips) {
  uint64_t tag = 100;
  for (const auto& k : keys()) {
    fndsa::VerifyingKey vk;
    ASSERT_TRUE(vk.decode(k.vk));
    for (size_t len : {0u, 1u, 33u, 1000u}) {
      auto msg = vt_test::pseudo_random_bytes(tag++, len);
      auto ctx = vt_test::pseudo_random_bytes(tag++, len % 256);
      auto sig = sign(k, msg, ctx, tag++);
      EXPECT_TRUE(vk.verify(msg, ctx, sig));
      EXPECT_TRUE(fndsa::verify(k.vk, msg, ctx, sig));
      auto other = msg;
      other.push_back(1);
      EXPECT_FALSE(vk.verify(other, ctx, sig));
      auto ctx2 = ctx;
      ctx2.push_back(0);
      EXPECT_FALSE(vk.verify(msg, ctx2, sig));
    }
    // Signatures under another key fail.
    auto sig = sign(k, {1, 2, 3}, {}, tag++);
    for (const auto& o : keys()) {
      if (&o != &k) {
        EXPECT_FALSE(fndsa::verify(o.vk, std::vector<uint8_t>{1, 2, 3}, {}, sig));
      }
    }
  }
}

TEST(FnDsa, EverySingleByteChangeOfASignatureIsRefused) {
  const auto& k = keys()[0];
  const std::vector<uint8_t> msg = {'m', 's', 'g'};
  auto sig = sign(k, msg, {}, 7);
  fndsa::VerifyingKey vk;
  ASSERT_TRUE(vk.decode(k.vk));
  ASSERT_TRUE(vk.verify(msg, {}, sig));
  for (size_t i = 0; i < sig.size(); ++i) {
    for (uint8_t x : {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0xFF}) {
      auto bad = sig;
      bad[i] ^= x;
      EXPECT_FALSE(vk.verify(msg, {}, bad)) << i << " " << int(x);
    }
  }
  // Every value of the header byte but the right one.
  for (int v = 0; v < 256; ++v) {
    if (v == 0x39) continue;
    auto bad = sig;
    bad[0] = static_cast<uint8_t>(v);
    EXPECT_FALSE(vk.verify(msg, {}, bad));
  }
  EXPECT_FALSE(vk.verify(msg, {}, std::span(sig).first(665)));
  auto longer = sig;
  longer.push_back(0);
  EXPECT_FALSE(vk.verify(msg, {}, longer));
}

TEST(FnDsa, VerifyingKeyDecodingErrors) {
  auto vk = keys()[0].vk;
  fndsa::VerifyingKey key;
  EXPECT_FALSE(key.decode(std::span(vk).first(896)));
  EXPECT_FALSE(key.decode({}));
  auto bad = vk;
  bad[0] = 0x0A;
  EXPECT_FALSE(key.decode(bad));
  bad = vk;
  bad[1] = 0xFF;  // first coefficient 0x3FFF >= q
  bad[2] |= 0x3F;
  EXPECT_FALSE(key.decode(bad));
  // An undecoded key verifies nothing.
  auto sig = sign(keys()[0], {}, {}, 9);
  EXPECT_FALSE(key.verify({}, {}, sig));
  EXPECT_TRUE(key.decode(vk));
  EXPECT_TRUE(key.verify({}, {}, sig));
  std::vector<uint8_t> ctx(256, 0);
  EXPECT_FALSE(key.verify({}, ctx, sig));
}

TEST(FnDsa, SigningKeyDecodingAndSigningErrors) {
  auto sk = keys()[0].sk;
  fndsa::SigningKey key;
  EXPECT_FALSE(key.decode(std::span(sk).first(1344)));
  auto bad = sk;
  bad[0] = 0x5A;
  EXPECT_FALSE(key.decode(bad));
  // f[0] = -32, a value the encoding never produces.
  bad = sk;
  bad[1] = static_cast<uint8_t>((bad[1] & 0xC0) | 0x20);
  EXPECT_FALSE(key.decode(bad));
  // F[0] = -128, likewise.
  bad = sk;
  bad[769] = 0x80;
  EXPECT_FALSE(key.decode(bad));
  // f = 0 is not invertible.
  bad = sk;
  std::memset(bad.data() + 1, 0, 384);
  EXPECT_FALSE(key.decode(bad));

  uint8_t seed[40] = {};
  uint8_t sig[fndsa::kSignatureLen];
  EXPECT_EQ(key.sign_with_seed({}, {}, seed, sig), fndsa::SignStatus::BadKey);
  ASSERT_TRUE(key.decode(sk));
  std::vector<uint8_t> ctx(256, 0);
  EXPECT_EQ(key.sign_with_seed({}, ctx, seed, sig), fndsa::SignStatus::BadContext);
  ctx.resize(255);
  EXPECT_EQ(key.sign_with_seed({}, ctx, seed, sig), fndsa::SignStatus::Ok);
  EXPECT_TRUE(fndsa::verify(keys()[0].vk, {}, ctx, sig));
}

}  // namespace

namespace {

// The signer's rounding: to nearest with ties to even, as the processor's
// conversion and the C library's llrint give it; floor through truncation.
// The sampler's stream is SHAKE256's output however it is read: in
// windows (whose refills move the unread rest), bytes and words, across
// many block boundaries.
TEST(FnDsa, StreamReadsFollowTheShakeOutput) {
  const auto seed = vt_test::pseudo_random_bytes(77, 41);
  std::vector<uint8_t> want(4000);
  keccak::shake256(seed.data(), seed.size(), want.data(), want.size());
  fndsa::detail::ShakePrng rng(seed.data(), seed.size());
  std::vector<uint8_t> got;
  // (kind, window length, bytes taken): 0 window, 1 byte, 2 u64, 3 bytes.
  struct Step {
    int kind;
    size_t len, take;
  };
  const Step steps[] = {{0, 18, 11}, {0, 29, 22}, {0, 64, 64}, {1, 0, 1}, {0, 18, 18},
                        {2, 0, 8},   {0, 10, 3},  {3, 0, 40},  {0, 1, 1}, {0, 29, 12}};
  for (size_t r = 0; got.size() < 3900; ++r) {
    const Step& st = steps[r % std::size(steps)];
    if (st.kind == 0) {
      const uint8_t* w = rng.window(st.len);
      // The whole window is the stream's next bytes, only `take` consumed.
      for (size_t i = 0; i < st.len; ++i) ASSERT_EQ(w[i], want[got.size() + i]) << "round " << r << " byte " << i;
      got.insert(got.end(), w, w + st.take);
      rng.skip(st.take);
    } else if (st.kind == 1) {
      got.push_back(rng.next_u8());
    } else if (st.kind == 2) {
      const uint64_t v = rng.next_u64();
      for (int i = 0; i < 8; ++i) got.push_back(static_cast<uint8_t>(v >> (8 * i)));
    } else {
      uint8_t b[40];
      rng.next_bytes(b, sizeof b);
      got.insert(got.end(), b, b + sizeof b);
    }
  }
  ASSERT_EQ(got, std::vector<uint8_t>(want.begin(), want.begin() + static_cast<ptrdiff_t>(got.size())));
}

TEST(FnDsa, RoundingHelpers) {
  struct Case {
    double x;
    int64_t nearest, floor;
  };
  const Case table[] = {
      {2.5, 2, 2},
      {3.5, 4, 3},
      {-2.5, -2, -3},
      {-3.5, -4, -4},
      {0.49999999999999994, 0, 0},
      {-0.5, 0, -1},
      {1e15 + 0.5, 1000000000000000, 1000000000000000},
      {-7.0, -7, -7},
  };
  for (const auto& c : table) {
    EXPECT_EQ(fndsa::detail::rint(c.x), c.nearest) << c.x;
    EXPECT_EQ(std::llrint(c.x), c.nearest) << c.x;
    EXPECT_EQ(fndsa::detail::floor_i64(c.x), c.floor) << c.x;
  }
  EXPECT_EQ(fndsa::detail::fsqrt(2.0), std::sqrt(2.0));
}

}  // namespace
