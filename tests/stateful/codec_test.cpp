// The path-selected wire form: encoder and decoder refusals with their
// payloads, and the round trip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "valtorimesca/encoding_path.hpp"

namespace {

using namespace valtorimesca;
using namespace valtorimesca::encoding_path;

constexpr PqSizes kSizes{2084, 29092};

std::vector<uint8_t> stateful_sig(uint32_t q, size_t pq_len, uint32_t declared) {
  std::vector<uint8_t> s(69 + pq_len, 0xab);
  s[64] = 1;
  s[65] = uint8_t(declared >> 24);
  s[66] = uint8_t(declared >> 16);
  s[67] = uint8_t(declared >> 8);
  s[68] = uint8_t(declared);
  (void)q;
  return s;
}

std::vector<uint8_t> stateless_sig(size_t pq_len) {
  std::vector<uint8_t> s(65 + pq_len, 0xcd);
  s[64] = 2;
  return s;
}

TEST(PathSelected, DecodeRefusals) {
  const uint32_t cap = 3;
  struct Case {
    std::string name;
    std::vector<uint8_t> sig;
    CoreError want;
  };
  std::vector<uint8_t> short68(68, 0);
  short68[64] = 1;
  const std::vector<Case> cases = {
      {"64 bytes", std::vector<uint8_t>(64), CoreError::bad_length(65, 64)},
      {"68 bytes stateful", short68, CoreError::bad_length(4, 3)},
      {"q = 0", stateful_sig(0, 2084, 0), CoreError::leaf_count_out_of_range(0, cap)},
      {"q = cap + 1", stateful_sig(4, 2084 + 32 * 4, 4), CoreError::leaf_count_out_of_range(4, cap)},
      {"one byte short", stateful_sig(2, 2084 + 64 - 1, 2), CoreError::bad_length(2084 + 64, 2083 + 64)},
      {"one byte over", stateful_sig(2, 2084 + 64 + 1, 2), CoreError::trailing_bytes(2153 + 64, 2154 + 64)},
      {"stateless short", stateless_sig(29091), CoreError::bad_length(29092, 29091)},
      {"stateless over", stateless_sig(29093), CoreError::trailing_bytes(29157, 29158)},
  };
  for (const Case& c : cases) {
    auto r = decode_path_selected(c.sig, cap, kSizes);
    ASSERT_FALSE(r.ok()) << c.name;
    EXPECT_EQ(r.error(), c.want) << c.name;
  }
  for (uint8_t sel : {0, 3, 255}) {
    std::vector<uint8_t> s = stateless_sig(29092);
    s[64] = sel;
    auto r = decode_path_selected(s, cap, kSizes);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), CoreError::bad_path_selector(sel));
  }
}

TEST(PathSelected, EncodeRefusalsAndRoundTrip) {
  const std::vector<uint8_t> classical(64, 0x11);
  const std::vector<uint8_t> pq_empty(2084);
  auto q0 = encode_path_selected(classical, PathSelectedSignature::stateful(0, pq_empty), kSizes);
  EXPECT_EQ(q0.error(), CoreError::leaf_count_out_of_range(0, 4294967295u));
  const std::vector<uint8_t> short_stateless(29091);
  auto sl = encode_path_selected(classical, PathSelectedSignature::stateless(short_stateless), kSizes);
  EXPECT_EQ(sl.error(), CoreError::bad_length(29092, 29091));

  std::vector<uint8_t> pq(2084 + 32 * 2);
  for (size_t i = 0; i < pq.size(); ++i) pq[i] = uint8_t(i);
  const auto sig = PathSelectedSignature::stateful(2, pq);
  std::vector<uint8_t> out(2153 + 64 - 1);
  auto w = write_path_selected(out, classical, sig, kSizes);
  EXPECT_EQ(w.error(), CoreError::output_buffer_too_small(2153 + 64, 2153 + 63));

  auto enc = encode_path_selected(classical, sig, kSizes);
  ASSERT_TRUE(enc.ok());
  ASSERT_EQ(enc->size(), 2153u + 64);
  for (uint32_t cap : {2u, 4096u}) {
    auto d = decode_path_selected(*enc, cap, kSizes);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d->sig.path, PathSelector::Stateful);
    EXPECT_EQ(d->sig.leaf_count, 2u);
    EXPECT_TRUE(std::equal(d->sig.pq.begin(), d->sig.pq.end(), pq.begin(), pq.end()));
    EXPECT_TRUE(std::equal(d->classical.begin(), d->classical.end(), classical.begin(), classical.end()));
  }
  const std::vector<uint8_t> spq(29092, 5);
  auto senc = encode_path_selected(classical, PathSelectedSignature::stateless(spq), kSizes);
  ASSERT_TRUE(senc.ok());
  EXPECT_EQ(senc->size(), 29157u);
  auto sd = decode_path_selected(*senc, 1, kSizes);
  ASSERT_TRUE(sd.ok());
  EXPECT_EQ(sd->sig.path, PathSelector::Stateless);
}

}  // namespace
