#include "keccak/keccak.hpp"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "vectors.hpp"

namespace {

std::vector<uint8_t> evp(const EVP_MD* md, const std::vector<uint8_t>& in, size_t outlen) {
  std::vector<uint8_t> out(outlen);
  EVP_MD_CTX* c = EVP_MD_CTX_new();
  EVP_DigestInit_ex(c, md, nullptr);
  EVP_DigestUpdate(c, in.data(), in.size());
  if (EVP_MD_flags(md) & EVP_MD_FLAG_XOF)
    EVP_DigestFinalXOF(c, out.data(), outlen);
  else
    EVP_DigestFinal_ex(c, out.data(), nullptr);
  EVP_MD_CTX_free(c);
  return out;
}

TEST(Keccak, Keccak256EmptyString) {
  auto d = keccak::keccak256(nullptr, 0);
  EXPECT_EQ(vt_test::to_hex_c(d), "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470");
}

TEST(Keccak, Sha3AndShakeMatchOpenSslOnEveryLengthTo600) {
  for (size_t len = 0; len <= 600; ++len) {
    auto in = vt_test::pseudo_random_bytes(len, len);
    auto s3 = keccak::sha3_256(in.data(), in.size());
    ASSERT_EQ(vt_test::to_hex_c(s3), vt_test::to_hex(evp(EVP_sha3_256(), in, 32))) << len;
    std::vector<uint8_t> o128(333), o256(333);
    keccak::shake128(in.data(), in.size(), o128.data(), o128.size());
    keccak::shake256(in.data(), in.size(), o256.data(), o256.size());
    ASSERT_EQ(o128, evp(EVP_shake128(), in, 333)) << len;
    ASSERT_EQ(o256, evp(EVP_shake256(), in, 333)) << len;
  }
}

}  // namespace
