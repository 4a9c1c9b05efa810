// Multi-lane permutations and hashes against the one-lane code, on every
// backend this machine runs; one-lane Keccak-256 against pycryptodome;
// incremental absorb and squeeze against the one-shot functions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "keccak/keccak.hpp"
#include "keccak/testing.hpp"
#include "vectors.hpp"

namespace {

using keccak::Backend;
using keccak::State;

struct BackendCase {
  Backend cap;
  const char* x1_name;  // nullptr: BMI2 where the CPU has it, else portable
  const char* x4_name;
  const char* x8_name;
};

constexpr BackendCase kBackends[] = {
    {Backend::kPortable, "portable", "portable", "portable"},
    {Backend::kAvx2, nullptr, "avx2", "avx2"},
    {Backend::kAvx512f, nullptr, "avx2", "avx512f"},
    {Backend::kAvx512vl, "avx512vl", "avx512vl", "avx512f"},
};

bool cpu_has_bmi2() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
#else
  return false;
#endif
}

// Runs fn once per level the CPU supports, with the implementation capped to
// it.
template <class Fn>
void for_each_backend(Fn fn) {
  const char* x1_fast = cpu_has_bmi2() ? "bmi2" : "portable";
  for (const auto& b : kBackends) {
    if (b.cap > keccak::best_backend()) continue;
    keccak::cap_backend(b.cap);
    SCOPED_TRACE(std::string(b.x4_name) + "/" + b.x8_name);
    EXPECT_STREQ(keccak::x1_backend(), b.x1_name ? b.x1_name : x1_fast);
    EXPECT_STREQ(keccak::x4_backend(), b.x4_name);
    EXPECT_STREQ(keccak::x8_backend(), b.x8_name);
    fn();
  }
  keccak::uncap_backend();
}

State random_state(uint64_t seed) {
  auto b = vt_test::pseudo_random_bytes(seed, sizeof(State));
  State s;
  std::memcpy(s.data(), b.data(), sizeof(s));
  return s;
}

std::vector<uint8_t> cat(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<uint8_t> r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

TEST(KeccakBackends, DetectionFindsWhatTheCpuReports) {
#if defined(__x86_64__)
  // Linux enables the AVX and AVX-512 register state whenever the CPU has it,
  // so the vector code must be chosen here; this keeps the vector tests below
  // from passing vacuously.
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"))
    EXPECT_EQ(keccak::best_backend(), Backend::kAvx512vl);
  else if (__builtin_cpu_supports("avx512f"))
    EXPECT_EQ(keccak::best_backend(), Backend::kAvx512f);
  else if (__builtin_cpu_supports("avx2"))
    EXPECT_EQ(keccak::best_backend(), Backend::kAvx2);
  else
    EXPECT_EQ(keccak::best_backend(), Backend::kPortable);
#else
  EXPECT_EQ(keccak::best_backend(), Backend::kPortable);
#endif
  keccak::force_portable(true);
  EXPECT_STREQ(keccak::x1_backend(), "portable");
  EXPECT_STREQ(keccak::x4_backend(), "portable");
  EXPECT_STREQ(keccak::x8_backend(), "portable");
  keccak::force_portable(false);
  EXPECT_STREQ(keccak::x1_backend(), keccak::best_backend() == Backend::kAvx512vl ? "avx512vl"
                                     : cpu_has_bmi2()                             ? "bmi2"
                                                                                  : "portable");
  EXPECT_EQ(std::string(keccak::x4_backend()), keccak::best_backend() == Backend::kAvx512vl ? "avx512vl"
                                               : keccak::best_backend() >= Backend::kAvx2   ? "avx2"
                                                                                            : "portable");
  EXPECT_EQ(std::string(keccak::x8_backend()), keccak::best_backend() >= Backend::kAvx512f ? "avx512f"
                                               : keccak::best_backend() == Backend::kAvx2  ? "avx2"
                                                                                           : "portable");
}

TEST(KeccakBackends, PermutationsEqualPortableOneLaneOnEveryBackend) {
  for (uint64_t round = 0; round < 4; ++round) {
    State ref[8];
    for (int k = 0; k < 8; ++k) ref[k] = random_state(1000 * round + k);
    State expect[8];
    keccak::force_portable(true);
    for (int k = 0; k < 8; ++k) {
      expect[k] = ref[k];
      keccak::permute(expect[k]);
    }
    keccak::force_portable(false);
    for_each_backend([&] {
      State s[8];
      for (int k = 0; k < 8; ++k) {
        s[k] = ref[k];
        keccak::permute(s[k]);
        EXPECT_EQ(s[k], expect[k]) << "x1 state " << k;
      }
      std::copy(ref, ref + 8, s);
      keccak::testing::permute_x4(s);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(s[k], expect[k]) << "x4 lane " << k;
      std::copy(ref, ref + 8, s);
      keccak::testing::permute_x8(s);
      for (int k = 0; k < 8; ++k) EXPECT_EQ(s[k], expect[k]) << "x8 lane " << k;

      // Vector-aligned lanes and lanes one word off (the cores copy those).
      for (size_t off : {0, 1}) {
        alignas(64) uint64_t b4[101], b8[201];
        uint64_t* l4 = b4 + off;
        uint64_t* l8 = b8 + off;
        for (int i = 0; i < 25; ++i) {
          for (int k = 0; k < 4; ++k) l4[i * 4 + k] = ref[k][i];
          for (int k = 0; k < 8; ++k) l8[i * 8 + k] = ref[k][i];
        }
        keccak::permute_x4_interleaved(l4);
        keccak::permute_x8_interleaved(l8);
        for (int i = 0; i < 25; ++i) {
          for (int k = 0; k < 4; ++k) ASSERT_EQ(l4[i * 4 + k], expect[k][i]) << "x4i " << off << " " << i << " " << k;
          for (int k = 0; k < 8; ++k) ASSERT_EQ(l8[i * 8 + k], expect[k][i]) << "x8i " << off << " " << i << " " << k;
        }
      }
    });
  }
}

std::vector<size_t> test_lengths() {
  std::vector<size_t> lens;
  for (size_t len = 0; len <= 600; ++len) lens.push_back(len);
  for (size_t b : {680, 816, 1360}) lens.insert(lens.end(), {b - 1, b, b + 1});
  return lens;
}

TEST(KeccakBackends, MultiLaneKeccak256EqualsOneLane) {
  const auto lens = test_lengths();
  for_each_backend([&] {
    for (size_t len : lens) {
      std::vector<uint8_t> in[8];
      const uint8_t* p[8];
      for (int k = 0; k < 8; ++k) {
        in[k] = vt_test::pseudo_random_bytes(len * 8 + k, len);
        p[k] = in[k].data();
      }
      uint8_t o4[4][32], o8[8][32];
      keccak::keccak256_x4(p, len, o4);
      keccak::keccak256_x8(p, len, o8);
      for (int k = 0; k < 8; ++k) {
        const auto want = keccak::keccak256(p[k], len);
        if (k < 4) {
          ASSERT_EQ(0, std::memcmp(o4[k], want.data(), 32)) << "x4 len " << len << " lane " << k;
        }
        ASSERT_EQ(0, std::memcmp(o8[k], want.data(), 32)) << "x8 len " << len << " lane " << k;
      }
    }
  });
}

TEST(KeccakBackends, ManyInputsEqualOneLaneForEveryCount) {
  for_each_backend([&] {
    for (size_t len : {0, 32, 112, 135, 136, 300}) {
      for (size_t count = 0; count <= 21; ++count) {
        std::vector<std::vector<uint8_t>> in(count);
        std::vector<const uint8_t*> p(count);
        for (size_t k = 0; k < count; ++k) {
          in[k] = vt_test::pseudo_random_bytes(7000 + 31 * len + k, len);
          p[k] = in[k].data();
        }
        // One spare digest after the last must stay untouched.
        std::vector<std::array<uint8_t, 32>> out(count + 1);
        out[count].fill(0xAB);
        keccak::keccak256_many(p.data(), count, len, reinterpret_cast<uint8_t(*)[32]>(out.data()));
        for (size_t k = 0; k < count; ++k)
          ASSERT_EQ(out[k], keccak::keccak256(p[k], len)) << "len " << len << " count " << count << " k " << k;
        std::array<uint8_t, 32> guard;
        guard.fill(0xAB);
        ASSERT_EQ(out[count], guard) << "count " << count;
      }
    }
  });
}

// Parts as a hash engine would build them: a shared label, a per-lane field,
// a shared block-spanning field and a per-lane tail, cut at odd places.
template <size_t N>
void check_lanes_incremental() {
  const auto label = vt_test::pseudo_random_bytes(1, 19);
  const auto shared = vt_test::pseudo_random_bytes(2, 250);
  std::vector<uint8_t> mid[N], tail[N];
  const uint8_t* pm[N];
  const uint8_t* pt[N];
  for (size_t k = 0; k < N; ++k) {
    mid[k] = vt_test::pseudo_random_bytes(100 + k, 45);
    tail[k] = vt_test::pseudo_random_bytes(200 + k, 300);
    pm[k] = mid[k].data();
    pt[k] = tail[k].data();
  }
  keccak::Keccak256Lanes<N> h;
  for (int use = 0; use < 2; ++use) {  // the second pass reuses h after final()
    h.absorb_all(label.data(), 3);
    h.absorb_all(label.data() + 3, label.size() - 3);
    h.absorb(pm, mid[0].size());
    h.absorb_all(shared);
    size_t off = 0;
    for (size_t step : {1, 7, 9, 64, 136, 83}) {
      const uint8_t* q[N];
      for (size_t k = 0; k < N; ++k) q[k] = pt[k] + off;
      h.absorb(q, step);
      off += step;
    }
    ASSERT_EQ(off, tail[0].size());
    uint8_t out[N][32];
    h.final(out);
    for (size_t k = 0; k < N; ++k) {
      const auto whole = cat(cat(cat(label, mid[k]), shared), tail[k]);
      const auto want = keccak::keccak256(whole.data(), whole.size());
      ASSERT_EQ(0, std::memcmp(out[k], want.data(), 32)) << "N " << N << " lane " << k << " use " << use;
    }
  }
  // A fresh object and one that was only reset hash the empty string alike.
  h.absorb_all(shared);
  h.reset();
  uint8_t out[N][32];
  h.final(out);
  for (size_t k = 0; k < N; ++k)
    EXPECT_EQ(vt_test::to_hex(out[k], 32), "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470");
}

TEST(KeccakBackends, LaneSpongeAbsorbsPartsAtOddSplits) {
  for_each_backend([] {
    check_lanes_incremental<4>();
    check_lanes_incremental<8>();
  });
}

// SHAKE streams side by side: a shared and a per-lane part cut at odd
// places (one of them spanning a block), squeezed in runs of whole blocks,
// equal the one-lane SHAKE of each lane's input.
template <class Lanes>
void check_shake_lanes(void (*oneshot)(const uint8_t*, size_t, uint8_t*, size_t)) {
  constexpr size_t N = Lanes::kLanes, R = Lanes::kRate;
  const auto shared = vt_test::pseudo_random_bytes(3, 35);
  for (size_t tail_len : {size_t{0}, size_t{2}, R - 35, R - 34, R + 9}) {
    std::vector<uint8_t> tail[N];
    const uint8_t* pt[N];
    for (size_t k = 0; k < N; ++k) {
      tail[k] = vt_test::pseudo_random_bytes(300 + 17 * tail_len + k, tail_len);
      pt[k] = tail[k].data();
    }
    Lanes h;
    h.absorb_all(shared.data(), 3);
    h.absorb_all(shared.data() + 3, shared.size() - 3);
    const size_t cut = tail_len / 3;
    h.absorb(pt, cut);
    const uint8_t* rest[N];
    for (size_t k = 0; k < N; ++k) rest[k] = pt[k] + cut;
    h.absorb(rest, tail_len - cut);
    std::vector<uint8_t> got[N];
    uint8_t* out[N];
    for (size_t k = 0; k < N; ++k) {
      got[k].resize(4 * R);
      out[k] = got[k].data();
    }
    h.squeeze(out, 1);
    for (size_t k = 0; k < N; ++k) out[k] += R;
    h.squeeze(out, 0);
    h.squeeze(out, 3);
    for (size_t k = 0; k < N; ++k) {
      const auto whole = cat(shared, tail[k]);
      std::vector<uint8_t> want(4 * R);
      oneshot(whole.data(), whole.size(), want.data(), want.size());
      ASSERT_EQ(got[k], want) << "N " << N << " rate " << R << " tail " << tail_len << " lane " << k;
    }
  }
}

TEST(KeccakBackends, ShakeLanesEqualOneLaneShake) {
  for_each_backend([] {
    check_shake_lanes<keccak::Shake128Lanes<4>>(keccak::shake128);
    check_shake_lanes<keccak::Shake128Lanes<8>>(keccak::shake128);
    check_shake_lanes<keccak::Shake256Lanes<4>>(keccak::shake256);
    check_shake_lanes<keccak::Shake256Lanes<8>>(keccak::shake256);
  });
}

std::string read_file(const std::string& path) {
  std::ifstream f(path);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(Keccak, Keccak256MatchesPycryptodomeOnEveryLengthTo600) {
  const char* src = std::getenv("VT_SOURCE_DIR");
  ASSERT_NE(src, nullptr) << "VT_SOURCE_DIR is not set";
  const std::string script = std::string(src) + "/tests/keccak/keccak_oracle.py";
  // Named per process: several test runs may share the temporary folder.
  const std::string dir = ::testing::TempDir() + "keccak_oracle_" + std::to_string(::getpid());
  const std::string in_path = dir + "_in.txt";
  const std::string out_path = dir + "_out.txt";
  std::vector<std::vector<uint8_t>> inputs;
  {
    std::ofstream f(in_path);
    for (size_t len = 0; len <= 600; ++len) {
      inputs.push_back(vt_test::pseudo_random_bytes(0x6b656363ULL + len, len));
      f << vt_test::to_hex(inputs.back()) << "\n";
    }
  }
  std::remove(out_path.c_str());
  const std::string cmd = "/usr/bin/python3 '" + script + "' '" + in_path + "' '" + out_path + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd << " failed (is python3-pycryptodome installed?)";
  const std::string text = read_file(out_path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  ASSERT_EQ(lines.size(), inputs.size());
  for (size_t len = 0; len <= 600; ++len) {
    const auto& in = inputs[len];
    ASSERT_EQ(vt_test::to_hex_c(keccak::keccak256(in.data(), in.size())), lines[len]) << len;
  }
  std::remove(in_path.c_str());
  std::remove(out_path.c_str());
}

// Splits of the input given as a repeating list of part sizes.
std::vector<std::vector<size_t>> absorb_splits() {
  return {{1}, {7}, {9}, {5, 8, 11, 16, 2}, {3, 133}, {135, 1, 136}, {136}, {137, 11}, {167, 2, 168}, {0, 13, 0, 6}};
}

template <class H>
void check_incremental(size_t rate, void (*oneshot)(const uint8_t*, size_t, uint8_t*, size_t)) {
  const auto in = vt_test::pseudo_random_bytes(99, 3 * rate + 5);
  std::vector<uint8_t> want(3 * rate + 17);
  oneshot(in.data(), in.size(), want.data(), want.size());
  for (const auto& split : absorb_splits()) {
    for (size_t chunk : {size_t{1}, size_t{13}, rate, rate + 1}) {
      H h;
      size_t off = 0;
      for (size_t i = 0; off < in.size(); ++i) {
        const size_t n = std::min(split[i % split.size()], in.size() - off);
        h.absorb(in.data() + off, n);
        off += n;
      }
      std::vector<uint8_t> got(want.size());
      for (size_t o = 0; o < got.size(); o += chunk) h.squeeze(got.data() + o, std::min(chunk, got.size() - o));
      ASSERT_EQ(got, want) << "rate " << rate << " split[0] " << split[0] << " chunk " << chunk;
    }
  }
}

TEST(Keccak, IncrementalAbsorbAndSqueezeEqualOneShot) {
  check_incremental<keccak::Shake128>(keccak::Shake128::kRate, keccak::shake128);
  check_incremental<keccak::Shake256>(keccak::Shake256::kRate, keccak::shake256);
  // Keccak-256 and SHA3-256: odd absorb splits give the one-shot digest.
  const auto in = vt_test::pseudo_random_bytes(5, 500);
  for (const auto& split : absorb_splits()) {
    keccak::Keccak256 k;
    keccak::Sha3_256 s;
    size_t off = 0;
    for (size_t i = 0; off < in.size(); ++i) {
      const size_t n = std::min(split[i % split.size()], in.size() - off);
      k.absorb(in.data() + off, n);
      s.absorb(in.data() + off, n);
      off += n;
    }
    std::array<uint8_t, 32> dk, ds;
    k.final(dk.data());
    s.final(ds.data());
    EXPECT_EQ(dk, keccak::keccak256(in.data(), in.size()));
    EXPECT_EQ(ds, keccak::sha3_256(in.data(), in.size()));
    EXPECT_NE(dk, ds);
  }
}

}  // namespace
