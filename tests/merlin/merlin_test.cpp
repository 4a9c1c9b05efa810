// merlin transcripts against the published merlin known answers and the
// transcript-RNG properties merlin documents.
#include "merlin/merlin.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "valtorimesca/seeded_rng.hpp"
#include "vectors.hpp"

namespace {

using merlin::bytes_of;
using merlin::Transcript;

std::string hex32(const std::array<uint8_t, 32>& a) { return vt_test::to_hex(a.data(), a.size()); }

TEST(Merlin, SimpleTranscriptKnownAnswer) {
  Transcript t("test protocol");
  t.append_message("some label", bytes_of("some data"));
  std::array<uint8_t, 32> c{};
  t.challenge_bytes("challenge", c);
  EXPECT_EQ(hex32(c), "d5a21972d0d5fe320c0d263fac7fffb8145aa640af6e9bca177c03c7efcf0615");
}

TEST(Merlin, ComplexTranscriptKnownAnswer) {
  // Crosses many STROBE block boundaries with 1024-byte messages.
  Transcript t("test protocol");
  t.append_message("step1", bytes_of("some data"));
  const std::vector<uint8_t> data(1024, 99);
  std::array<uint8_t, 32> c{};
  for (int i = 0; i < 32; ++i) {
    t.challenge_bytes("challenge", c);
    t.append_message("bigdata", data);
    t.append_message("challengedata", c);
  }
  EXPECT_EQ(hex32(c), "a8c933f54fae76e3f9bea93648c1308e7dfa2152dd51674ff3ca438351cf003c");
}

TEST(Merlin, AppendU64IsEightLittleEndianBytes) {
  Transcript a("p"), b("p");
  a.append_u64("n", 0x0102030405060708ULL);
  const uint8_t le[8] = {8, 7, 6, 5, 4, 3, 2, 1};
  b.append_message("n", merlin::Bytes(le, 8));
  std::array<uint8_t, 32> ca{}, cb{};
  a.challenge_bytes("c", ca);
  b.challenge_bytes("c", cb);
  EXPECT_EQ(ca, cb);
}

TEST(Merlin, ClonesEvolveIndependently) {
  Transcript t("p");
  t.append_message("l", bytes_of("x"));
  Transcript u = t;
  std::array<uint8_t, 16> c1{}, c2{};
  t.challenge_bytes("c", c1);
  u.challenge_bytes("c", c2);
  EXPECT_EQ(c1, c2);
  t.append_message("l", bytes_of("y"));
  u.append_message("l", bytes_of("z"));
  t.challenge_bytes("c", c1);
  u.challenge_bytes("c", c2);
  EXPECT_NE(c1, c2);
}

TEST(Merlin, ChallengeDependsOnLengthAndLabel) {
  // The requested length is framed, so a 32-byte challenge is not a prefix
  // of a 64-byte one; labels and message boundaries are framed too.
  Transcript a("p"), b("p");
  std::array<uint8_t, 32> c32{};
  std::array<uint8_t, 64> c64{};
  a.challenge_bytes("c", c32);
  b.challenge_bytes("c", c64);
  EXPECT_NE(0, std::memcmp(c32.data(), c64.data(), 32));

  Transcript x("p"), y("p");
  x.append_message("ab", bytes_of("c"));
  y.append_message("a", bytes_of("bc"));
  x.challenge_bytes("c", c32);
  std::array<uint8_t, 32> d{};
  y.challenge_bytes("c", d);
  EXPECT_NE(c32, d);
}

struct FixedRng {
  uint8_t v;
  void fill_bytes(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = v;
  }
};

std::array<uint8_t, 64> draw(const Transcript& t, std::string_view witness, uint8_t ext) {
  FixedRng rng{ext};
  auto r = t.build_rng().rekey_with_witness_bytes("witness", bytes_of(witness)).finalize(rng);
  std::array<uint8_t, 64> out{};
  r.fill_bytes(out.data(), out.size());
  return out;
}

TEST(Merlin, TranscriptRngIsBoundToTranscriptWitnessAndRandomness) {
  Transcript t1("test TranscriptRng collisions"), t2 = t1, t3 = t1;
  t1.append_message("com", bytes_of("commitment data 1"));
  t2.append_message("com", bytes_of("commitment data 2"));
  t3.append_message("com", bytes_of("commitment data 2"));
  const auto r1 = draw(t1, "witness data 1", 0);
  const auto r2 = draw(t2, "witness data 1", 0);
  const auto r3 = draw(t3, "witness data 2", 0);
  const auto r4 = draw(t3, "witness data 2", 0);
  const auto r5 = draw(t3, "witness data 2", 1);
  EXPECT_NE(r1, r2);
  EXPECT_NE(r1, r3);
  EXPECT_NE(r2, r3);
  EXPECT_EQ(r3, r4);  // building a generator leaves the transcript unchanged
  EXPECT_NE(r4, r5);
}

TEST(Merlin, TranscriptRngFramesEachRequest) {
  // Every fill is its own framed PRF call: 32 + 32 differs from 64 at once.
  Transcript t("p");
  FixedRng ext{7};
  auto a = t.build_rng().finalize(ext);
  auto b = t.build_rng().finalize(ext);
  std::array<uint8_t, 64> whole{}, split{};
  a.fill_bytes(whole.data(), 64);
  b.fill_bytes(split.data(), 32);
  b.fill_bytes(split.data() + 32, 32);
  EXPECT_NE(whole, split);
}

TEST(Merlin, FinalizeWithSeededRngMatchesExplicitBytes) {
  Transcript t("p");
  std::array<uint8_t, 32> seed{};
  seed[0] = 1;
  valtorimesca::SeededRng g1(seed);
  auto a = t.build_rng().finalize(g1);
  valtorimesca::SeededRng g2(seed);
  std::array<uint8_t, 32> ext{};
  g2.fill_bytes(ext);
  auto b = t.build_rng().finalize_with_bytes(ext);
  std::array<uint8_t, 48> x{}, y{};
  a.fill_bytes(x);
  b.fill_bytes(y);
  EXPECT_EQ(x, y);
}

}  // namespace
