// SHA-256, SHA-512, HMAC, HKDF and PBKDF2 over libsodium: the published
// vectors (FIPS 180-4 examples, RFC 4231, RFC 5869, RFC 7914 section 11), and
// Python's hashlib and hmac on pseudo-random inputs (tests/sha2/oracle.py).
#include "sha2/sha2.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fault/fault.hpp"
#include "python_oracle.hpp"
#include "sha2/hmac.hpp"
#include "vectors.hpp"

namespace {

using Bytes = std::vector<uint8_t>;
using sha2::Hash;
using vt_test::from_hex;
using vt_test::json;
using vt_test::to_hex;
using vt_test::to_hex_c;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes repeat(uint8_t b, size_t n) { return Bytes(n, b); }
Bytes range(int from, int to) {
  Bytes out;
  for (int i = from; i < to; ++i) out.push_back(static_cast<uint8_t>(i));
  return out;
}
const char* name(Hash h) { return h == Hash::Sha256 ? "sha256" : "sha512"; }

std::string hash_hex(Hash h, const Bytes& msg) {
  if (h == Hash::Sha256) return to_hex_c(sha2::sha256(msg));
  std::array<uint8_t, 64> out;
  sha2::sha512(msg, out);
  return to_hex_c(out);
}
std::string hmac_hex(Hash h, const Bytes& key, const Bytes& msg) {
  sha2::Hmac mac(h, key);
  Bytes tag(mac.size());
  mac.update(msg).finish(tag);
  return to_hex(tag);
}
std::string hkdf_hex(Hash h, const Bytes& salt, const Bytes& ikm, const Bytes& info, size_t len) {
  Bytes out(len);
  EXPECT_TRUE(sha2::Hkdf(h, salt, ikm).expand(info, out));
  return to_hex(out);
}
std::string pbkdf2_hex(Hash h, const Bytes& password, const Bytes& salt, uint32_t rounds, size_t len) {
  Bytes out(len);
  sha2::pbkdf2(h, password, salt, rounds, out);
  return to_hex(out);
}

TEST(Sha2, PublishedVectors) {
  EXPECT_EQ(hash_hex(Hash::Sha256, text("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hash_hex(Hash::Sha512, text("abc")),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
            "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");

  struct HmacCase {
    Bytes key, msg;
    const char *sha256, *sha512;
  };
  const HmacCase rfc4231[] = {
      {repeat(0x0b, 20), text("Hi There"), "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7",
       "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cde"
       "daa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"},
      {text("Jefe"), text("what do ya want for nothing?"),
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
       "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
       "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
      // A key longer than either block is hashed first.
      {repeat(0xaa, 131), text("Test Using Larger Than Block-Size Key - Hash Key First"),
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54",
       "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
       "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
  };
  for (const auto& c : rfc4231) {
    EXPECT_EQ(hmac_hex(Hash::Sha256, c.key, c.msg), c.sha256);
    EXPECT_EQ(hmac_hex(Hash::Sha512, c.key, c.msg), c.sha512);
  }

  // RFC 5869 A.1 to A.3.
  EXPECT_EQ(hkdf_hex(Hash::Sha256, range(0, 13), repeat(0x0b, 22), range(0xf0, 0xfa), 42),
            "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865");
  EXPECT_EQ(hkdf_hex(Hash::Sha256, range(0x60, 0xb0), range(0, 0x50), range(0xb0, 0x100), 82),
            "b11e398dc80327a1c8e7f78c596a49344f012eda2d4efad8a050cc4c19afa97c"
            "59045a99cac7827271cb41c65e590e09da3275600c2f09b8367793a9aca3db71"
            "cc30c58179ec3e87c14c01d5c1f3434f1d87");
  EXPECT_EQ(hkdf_hex(Hash::Sha256, {}, repeat(0x0b, 22), {}, 42),
            "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8");

  // RFC 7914 section 11 (PBKDF2-HMAC-SHA256, two output blocks).
  EXPECT_EQ(pbkdf2_hex(Hash::Sha256, text("passwd"), text("salt"), 1, 64),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
  EXPECT_EQ(pbkdf2_hex(Hash::Sha256, text("Password"), text("NaCl"), 80000, 64),
            "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
            "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
}

TEST(Sha2, MatchesHashlibAndHmacOnRandomInputs) {
  json requests = json::array();
  std::vector<std::string> ours;
  uint64_t seed = 1;
  auto rnd = [&](size_t n) { return vt_test::pseudo_random_bytes(seed++, n); };
  // Lengths around the block sizes (64 and 128) and the digest sizes.
  const size_t lengths[] = {0, 1, 31, 32, 55, 56, 63, 64, 65, 111, 112, 127, 128, 129, 200, 1000};
  for (Hash h : {Hash::Sha256, Hash::Sha512}) {
    for (size_t n : lengths) {
      const Bytes msg = rnd(n), key = rnd(n), other = rnd(n / 2 + 3);
      requests.push_back({{"op", "hash"}, {"hash", name(h)}, {"msg", to_hex(msg)}});
      ours.push_back(hash_hex(h, msg));

      // Framed parts: each preceded by its big-endian 64-bit length.
      Bytes framed;
      for (const Bytes* part : {&msg, &other}) {
        for (int i = 7; i >= 0; --i) framed.push_back(static_cast<uint8_t>(uint64_t(part->size()) >> (8 * i)));
        framed.insert(framed.end(), part->begin(), part->end());
      }
      requests.push_back({{"op", "hash"}, {"hash", name(h)}, {"msg", to_hex(framed)}});
      if (h == Hash::Sha256) {
        ours.push_back(to_hex_c(sha2::Sha256().update_framed(msg).update_framed(other).finish()));
      } else {
        ours.push_back(to_hex_c(sha2::Sha512().update_framed(msg).update_framed(other).finish()));
      }

      requests.push_back({{"op", "hmac"}, {"hash", name(h)}, {"key", to_hex(key)}, {"msg", to_hex(msg)}});
      ours.push_back(hmac_hex(h, key, msg));

      // The info given in two parts is their concatenation.
      const size_t out_len = n % 3 == 0 ? n : n * 7 + 1;
      Bytes info = rnd(n % 90);
      requests.push_back({{"op", "hkdf"},
                          {"hash", name(h)},
                          {"salt", to_hex(key)},
                          {"ikm", to_hex(msg)},
                          {"info", to_hex(info)},
                          {"length", out_len}});
      Bytes okm(out_len);
      const size_t cut = info.size() / 3;
      EXPECT_TRUE(
          sha2::Hkdf(h, key, msg)
              .expand({std::span<const uint8_t>(info).first(cut), std::span<const uint8_t>(info).subspan(cut)}, okm));
      ours.push_back(to_hex(okm));

      const uint32_t rounds = n % 5 == 0 ? 2048 : static_cast<uint32_t>(n % 7 + 1);
      const size_t dk_len = n % 4 == 0 ? 32 : n % 150 + 1;
      requests.push_back({{"op", "pbkdf2"},
                          {"hash", name(h)},
                          {"password", to_hex(key)},
                          {"salt", to_hex(other)},
                          {"rounds", rounds},
                          {"length", dk_len}});
      ours.push_back(pbkdf2_hex(h, key, other, rounds, dk_len));
    }
  }
  const json want = vt_test::run_python_oracle("tests/sha2/oracle.py", requests);
  for (size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(ours[i], want[i].get<std::string>()) << requests[i].dump();
}

TEST(Sha2, KeyedMacRestartsAndBounds) {
  // One keying serves many messages; a tag leaves the MAC ready for the next.
  const Bytes key = text("key"), a = text("first"), b = text("second");
  sha2::Hmac mac(Hash::Sha512, key);
  Bytes t1(64), t2(64), t3(64);
  mac.update(a).finish(t1);
  mac.update(b).finish(t2);
  mac.update(b);
  mac.restart();
  mac.update(a).finish(t3);
  EXPECT_EQ(to_hex(t1), hmac_hex(Hash::Sha512, key, a));
  EXPECT_EQ(to_hex(t2), hmac_hex(Hash::Sha512, key, b));
  EXPECT_EQ(t3, t1);
  Bytes short_tag(32);
  EXPECT_THROW(mac.finish(short_tag), fault::InternalFault);

  // HKDF gives at most 255 blocks and writes nothing beyond that.
  sha2::Hkdf hkdf(Hash::Sha256, {}, key);
  EXPECT_EQ(hkdf.max_len(), 255u * 32);
  Bytes too_long(255 * 32 + 1, 0x5a), longest(255 * 32);
  EXPECT_FALSE(hkdf.expand(a, too_long));
  EXPECT_EQ(too_long, Bytes(255 * 32 + 1, 0x5a));
  EXPECT_TRUE(hkdf.expand(a, longest));
  EXPECT_EQ(to_hex(longest), hkdf_hex(Hash::Sha256, {}, key, a, 255 * 32));
}

}  // namespace
