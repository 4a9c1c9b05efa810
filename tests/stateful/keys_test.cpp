// Keys of the stateful suites: the SHRINCS adapter's key side, identities
// and budget keys recomputed with OpenSSL, the export blob and its import
// refusals, the dedicated VRF keys.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cstring>
#include <string>
#include <vector>

#include "hash_engine/hash/ops.hpp"
#include "recording.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/stateful_composite.hpp"
#include "valtorimesca/vrf/stateless.hpp"

namespace {

using namespace valtorimesca;
using stateful_composite::EdSh;
using stateful_composite::KeyPair;
using stateful_composite::SecretKey;
using stateful_composite::SrSh;
using valtorimesca::shrincs::ShrincsScheme;
using Kind = CoreError::Kind;

std::array<uint8_t, 32> master(uint8_t tag) {
  std::array<uint8_t, 32> m{};
  for (size_t i = 0; i < m.size(); ++i) m[i] = uint8_t(tag * 31 + i);
  return m;
}

template <class S>
KeyPair make(uint8_t tag, uint32_t capacity) {
  auto kp = stateful_composite::keygen<S>(master(tag), capacity);
  EXPECT_TRUE(kp.ok());
  return std::move(*kp);
}

std::vector<uint8_t> blob_of(const SecretKey& sk) {
  auto b = sk.export_blob();
  EXPECT_TRUE(b.ok());
  return {b->data(), b->data() + b->size()};
}

std::vector<uint8_t> openssl_sha256(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out(32);
  SHA256(in.data(), in.size(), out.data());
  return out;
}

void append_be64(std::vector<uint8_t>& v, uint64_t n) {
  for (int i = 7; i >= 0; --i) v.push_back(uint8_t(n >> (8 * i)));
}

// The identity from its byte list: the bare label, then the framed suite
// label (zero byte included) and the framed bundle.
std::vector<uint8_t> expected_identity(const char* suite_label, const std::vector<uint8_t>& bundle) {
  const std::string id_label = "valtorimesca/leaf-journal/key-identity/v1";
  std::vector<uint8_t> in(id_label.begin(), id_label.end());
  const size_t n = std::strlen(suite_label) + 1;
  append_be64(in, n);
  in.insert(in.end(), suite_label, suite_label + n);
  append_be64(in, bundle.size());
  in.insert(in.end(), bundle.begin(), bundle.end());
  EXPECT_EQ(in.size(), 41u + 8 + 31 + 8 + 164);
  return openssl_sha256(in);
}

std::vector<uint8_t> bytes_of(const stateful::KeyIdentity& id) { return {id.bytes.begin(), id.bytes.end()}; }

TEST(ShrincsAdapterKeys, KeygenChecksBundleLengthThenCapacity) {
  std::vector<uint8_t> seed(32, 7), short_bundle(163), bundle(164);
  auto r = ShrincsScheme::keygen_from_seed(seed, 0, short_bundle);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error(), CoreError::bad_length(164, 163));
  for (uint32_t cap : {0u, 4097u}) {
    auto bad = ShrincsScheme::keygen_from_seed(seed, cap, bundle);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().kind, Kind::ComponentFailure);
  }
  auto one = ShrincsScheme::keygen_from_seed(seed, 1, bundle);
  ASSERT_TRUE(one.ok());
  EXPECT_EQ(std::vector<uint8_t>(bundle.begin() + 64, bundle.begin() + 68), (std::vector<uint8_t>{0, 0, 0, 1}));
  // Deterministic, and the capacity enters the chain root and commitment.
  std::vector<uint8_t> again(164), two(164);
  ASSERT_TRUE(ShrincsScheme::keygen_from_seed(seed, 1, again).ok());
  ASSERT_TRUE(ShrincsScheme::keygen_from_seed(seed, 2, two).ok());
  EXPECT_EQ(bundle, again);
  EXPECT_NE(std::vector<uint8_t>(bundle.begin() + 32, bundle.begin() + 100),
            std::vector<uint8_t>(two.begin() + 32, two.begin() + 100));
  // The seeds come from the engine hash of label ‖ seed.
  const auto pk_seed = hash::ops::keccak_packed(
      {hash::Part(std::string_view("shrincs-stateful-pk-seed")), hash::Part(std::span<const uint8_t>(seed))});
  EXPECT_EQ(std::vector<uint8_t>(bundle.begin(), bundle.begin() + 32),
            std::vector<uint8_t>(pk_seed.begin(), pk_seed.end()));
  const auto sk_seed = hash::ops::keccak_packed(
      {hash::Part(std::string_view("shrincs-stateful-sk-seed")), hash::Part(std::span<const uint8_t>(seed))});
  const auto engine = one->keys().to_bytes();
  EXPECT_TRUE(std::equal(sk_seed.begin(), sk_seed.end(), engine.data()));
}

TEST(ShrincsAdapterKeys, CommittedKeyChecks) {
  KeyPair kp = make<EdSh>(1, 1);
  std::vector<uint8_t> bundle = kp.sk.bundle;
  std::array<uint8_t, 32> c{};
  ASSERT_TRUE(ShrincsScheme::compute_committed_key(bundle, c).ok());
  EXPECT_TRUE(std::equal(c.begin(), c.end(), bundle.begin() + 68));
  EXPECT_TRUE(ShrincsScheme::verify_committed_key(c, bundle).ok());

  std::array<uint8_t, 32> zero{};
  EXPECT_EQ(ShrincsScheme::verify_committed_key(zero, bundle).error().kind, Kind::ComponentFailure);
  EXPECT_EQ(ShrincsScheme::verify_committed_key(c, std::vector<uint8_t>(163)).error(), CoreError::bad_length(164, 163));

  // A changed carried field: still the commitment of the contents, and the
  // bundle no longer verifies even against that commitment.
  std::vector<uint8_t> altered = bundle;
  altered[70] ^= 1;
  std::array<uint8_t, 32> c2{};
  ASSERT_TRUE(ShrincsScheme::compute_committed_key(altered, c2).ok());
  EXPECT_EQ(c, c2);
  EXPECT_EQ(ShrincsScheme::verify_committed_key(c, altered).error().kind, Kind::ComponentFailure);
}

TEST(StatefulKeys, IdentityAndBudgetKeyFromTheirByteLists) {
  KeyPair ed = make<EdSh>(2, 1);
  KeyPair sr = make<SrSh>(2, 1);
  const std::vector<uint8_t> ed_bundle(ed.pk.bytes.begin() + 32, ed.pk.bytes.end());
  EXPECT_EQ(ed_bundle, ed.sk.bundle);

  const auto id_ed = stateful::KeyIdentity::derive(EdSh::label(), ed.sk.bundle);
  const auto id_sr = stateful::KeyIdentity::derive(SrSh::label(), sr.sk.bundle);
  EXPECT_EQ(bytes_of(id_ed), expected_identity("hybrid-ed25519-shrincs-256s-v1", ed.sk.bundle));
  EXPECT_EQ(bytes_of(id_sr), expected_identity("hybrid-sr25519-shrincs-256s-v1", sr.sk.bundle));
  EXPECT_NE(id_ed, id_sr);
  // The same bundle under the other label is another identity too.
  EXPECT_NE(id_ed, stateful::KeyIdentity::derive(SrSh::label(), ed.sk.bundle));

  const std::vector<uint8_t> material(ed.sk.bundle.begin() + 100, ed.sk.bundle.end());
  const auto bk = budget::BudgetKey::from_material(material);
  EXPECT_EQ(std::vector<uint8_t>(bk.bytes.begin(), bk.bytes.end()), openssl_sha256(material));
  const std::vector<uint8_t> sr_material(sr.sk.bundle.begin() + 100, sr.sk.bundle.end());
  EXPECT_NE(bk, budget::BudgetKey::from_material(sr_material));

  // The dedicated VRF key has one leaf and a budget key of its own.
  auto vrf = vrf::stateless::derive_stateless_key<EdSh>(master(2));
  ASSERT_TRUE(vrf.ok());
  EXPECT_EQ(ShrincsScheme::max_signatures_from_vk(vrf->key.bundle()).value(), 1u);
  EXPECT_NE(vt_test::budget_key_of(vrf->key), bk);
  EXPECT_EQ(vrf->pk.bytes.size(), 196u);
  EXPECT_TRUE(std::equal(vrf->key.bundle().begin(), vrf->key.bundle().end(), vrf->pk.bytes.begin() + 32));
}

TEST(StatefulKeys, KeygenStoredFormAndExport) {
  for (uint32_t cap : {0u, 4097u}) {
    auto r = stateful_composite::keygen<EdSh>(master(3), cap);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, Kind::ComponentFailure);
  }
  KeyPair a = make<SrSh>(3, 2);
  KeyPair b = make<SrSh>(3, 2);
  EXPECT_EQ(a.pk.bytes, b.pk.bytes);
  const std::vector<uint8_t> blob = blob_of(a.sk);
  EXPECT_EQ(blob, blob_of(b.sk));
  ASSERT_EQ(blob.size(), 496u);
  EXPECT_EQ(std::vector<uint8_t>(blob.begin() + 328, blob.begin() + 332), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(hash::get_be32(blob.data() + 64 + 132), 1u);  // the engine key's next leaf
  EXPECT_TRUE(std::equal(a.sk.bundle.begin(), a.sk.bundle.end(), blob.begin() + 332));

  auto stored = a.pk.stored_form();
  ASSERT_TRUE(stored.ok());
  std::vector<uint8_t> expect(a.pk.bytes.begin(), a.pk.bytes.begin() + 32);
  expect.insert(expect.end(), a.pk.bytes.begin() + 32 + 68, a.pk.bytes.begin() + 32 + 100);
  EXPECT_EQ(std::vector<uint8_t>(stored->begin(), stored->end()), expect);

  auto back = SecretKey::import <SrSh>(blob);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(blob_of(*back), blob);

  // The two suites of one master seed share nothing.
  KeyPair e = make<EdSh>(3, 2);
  EXPECT_NE(std::vector<uint8_t>(e.pk.bytes.begin(), e.pk.bytes.begin() + 32),
            std::vector<uint8_t>(a.pk.bytes.begin(), a.pk.bytes.begin() + 32));
  EXPECT_NE(e.sk.bundle, a.sk.bundle);
}

TEST(StatefulKeys, ImportRefusesEveryBadBlob) {
  KeyPair a = make<EdSh>(4, 2);
  const std::vector<uint8_t> blob = blob_of(a.sk);

  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    CoreError::Kind kind;
  };
  std::vector<Case> cases;
  for (size_t n : {0u, 495u, 497u}) {
    std::vector<uint8_t> b = blob;
    b.resize(n);
    cases.push_back({"length " + std::to_string(n), b, Kind::BadLength});
  }
  auto patched = [&](const std::string& name, size_t at, uint8_t x) {
    std::vector<uint8_t> b = blob;
    b[at] ^= x;
    cases.push_back({name, b, Kind::ComponentFailure});
  };
  patched("spent count one higher", 331, 1);
  patched("engine next leaf changed", 64 + 135, 1);
  patched("engine capacity zeroed", 64 + 131, 2);  // capacity 2 becomes 0
  patched("engine chain root", 64 + 100, 0x80);
  for (const Case& c : cases) {
    auto r = SecretKey::import <EdSh>(c.bytes);
    ASSERT_FALSE(r.ok()) << c.name;
    EXPECT_EQ(r.error().kind, c.kind) << c.name;
  }
  auto bl = SecretKey::import <EdSh>(std::vector<uint8_t>(495));
  EXPECT_EQ(bl.error(), CoreError::bad_length(496, 495));

  // A PRF key is outside both roots: the import cannot see it change.
  std::vector<uint8_t> prf = blob;
  prf[64 + 40] ^= 1;
  auto r = SecretKey::import <EdSh>(prf);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r->whole);
}

// The import validates the engine key and the counter and nothing more; a
// blob whose other parts disagree with the engine key loads, keeps its bytes,
// and is marked as not whole (the key handle then refuses to sign with it).
// An sr25519 secret (scalar || nonce) has nothing in the blob to agree with.
TEST(StatefulKeys, BlobsWhosePartsDisagreeImportButAreNotWhole) {
  KeyPair ed = make<EdSh>(4, 2);
  KeyPair other = make<EdSh>(5, 2);
  KeyPair sr = make<SrSh>(4, 2);
  const std::vector<uint8_t> blob = blob_of(ed.sk);
  const std::vector<uint8_t> other_blob = blob_of(other.sk);
  const std::vector<uint8_t> sr_blob = blob_of(sr.sk);

  auto patched = [](std::vector<uint8_t> b, size_t at, uint8_t x) {
    b[at] ^= x;
    return b;
  };
  auto spliced = [](std::vector<uint8_t> into, const std::vector<uint8_t>& from) {
    std::copy(from.begin() + 332, from.end(), into.begin() + 332);
    return into;
  };
  struct Case {
    const char* name;
    bool ed25519;  // imported as ED_SH, else as SR_SH
    std::vector<uint8_t> bytes;
    bool whole;
  };
  const Case cases[] = {
      {"ED_SH as generated", true, blob, true},
      {"SR_SH as generated", false, sr_blob, true},
      {"Ed25519 seed first byte", true, patched(blob, 0, 0x01), false},
      {"Ed25519 seed last byte", true, patched(blob, 31, 0x80), false},
      {"Ed25519 public half", true, patched(blob, 40, 0x10), false},
      {"cached bundle chain root", true, patched(blob, 332 + 40, 1), false},
      {"cached bundle commitment", true, patched(blob, 332 + 70, 1), false},
      {"cached bundle hypertree root", true, patched(blob, 332 + 140, 1), false},
      {"another key's bundle", true, spliced(blob, other_blob), false},
      {"another key's engine key", true, spliced(other_blob, blob), false},
      {"an SR_SH blob read as ED_SH", true, sr_blob, false},
      {"an ED_SH blob read as SR_SH", false, blob, true},
      {"SR_SH bundle", false, patched(sr_blob, 332 + 40, 1), false},
      {"sr25519 scalar", false, patched(sr_blob, 0, 0x01), true},
      {"sr25519 nonce", false, patched(sr_blob, 63, 0x01), true},
  };
  for (const Case& c : cases) {
    auto r = c.ed25519 ? SecretKey::import <EdSh>(c.bytes) : SecretKey::import <SrSh>(c.bytes);
    ASSERT_TRUE(r.ok()) << c.name;
    EXPECT_EQ(r->whole, c.whole) << c.name;
    EXPECT_EQ(blob_of(*r), c.bytes) << c.name;
  }
}

}  // namespace
