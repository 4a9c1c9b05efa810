// The SHRINCS half against known answers made by a model of the engine
// written apart from this library (tests/vectors/shrincs_256s.json): keys
// from a component seed, every stateful leaf signed in turn, one few-time
// signature, and the identities derived from the bundle. A missing file or
// field fails the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/sphincs_plus_c/fors_c.hpp"
#include "keccak/keccak.hpp"
#include "valtorimesca/budget.hpp"
#include "valtorimesca/shrincs/scheme.hpp"
#include "valtorimesca/stateful.hpp"
#include "valtorimesca/suites.hpp"
#include "vectors.hpp"

namespace {

using valtorimesca::shrincs::ShrincsScheme;
using valtorimesca::shrincs::ShrincsSecretKey;
using vt_test::field;
using vt_test::hex_field;
using vt_test::json;
using Bytes = std::vector<uint8_t>;
namespace bundle = valtorimesca::shrincs::bundle;

const json& keys() { return field(vt_test::load_vectors("shrincs_256s.json"), "keys"); }

template <class C>
Bytes bytes_of(const C& c) {
  return Bytes(c.begin(), c.end());
}

// Equal bytes, or the length and the first offset where they differ.
::testing::AssertionResult same_bytes(const Bytes& got, const Bytes& want) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  auto r = ::testing::AssertionFailure();
  r << "first difference at byte " << i << " (got " << got.size() << " bytes, want " << want.size() << ")";
  if (i < got.size() && i < want.size())
    r << ": got 0x" << vt_test::to_hex(&got[i], 1) << ", want 0x" << vt_test::to_hex(&want[i], 1);
  return r;
}

std::string where(const json& key) {
  return vt_test::string_field(key, "seed_name") + ", capacity " +
         std::to_string(field(key, "capacity").get<uint32_t>());
}

Bytes exported(const ShrincsSecretKey& key) {
  Bytes out(valtorimesca::shrincs::kEngineKeyLen);
  EXPECT_TRUE(ShrincsScheme::export_secret_key(key, out).ok());
  return out;
}

// The key of one entry, made from its seed; checks what key generation gives.
ShrincsSecretKey generate(const json& k, Bytes& bundle_out) {
  bundle_out.assign(bundle::kBundleLen, 0);
  auto key = ShrincsScheme::keygen_from_seed(hex_field(k, "seed"), field(k, "capacity").get<uint32_t>(), bundle_out);
  EXPECT_TRUE(key.ok());
  if (!key.ok()) return {};
  EXPECT_TRUE(same_bytes(bundle_out, hex_field(k, "bundle"))) << "bundle";
  EXPECT_TRUE(same_bytes(exported(*key), hex_field(k, "engine_key"))) << "engine key";
  Bytes commitment(32);
  EXPECT_TRUE(ShrincsScheme::compute_committed_key(bundle_out, commitment).ok());
  EXPECT_TRUE(same_bytes(commitment, hex_field(k, "commitment"))) << "commitment";
  return std::move(*key);
}

// Imports an engine key through the validating import; it must export back
// unchanged.
ShrincsSecretKey imported(const Bytes& engine_key) {
  auto key = ShrincsScheme::import_secret_key(engine_key);
  EXPECT_TRUE(key.ok()) << "import refused";
  if (!key.ok()) return {};
  EXPECT_TRUE(same_bytes(exported(*key), engine_key)) << "export after import";
  return std::move(*key);
}

TEST(ShrincsVectors, KeyIdentitiesAndBudgetKey) {
  using valtorimesca::suites::label_bytes;
  ASSERT_EQ(vt_test::string_field(vt_test::load_vectors("shrincs_256s.json"), "profile"), "shrincs-256s");
  ASSERT_FALSE(keys().empty());
  for (const json& k : keys()) {
    SCOPED_TRACE(where(k));
    const Bytes b = hex_field(k, "bundle");
    ASSERT_EQ(b.size(), bundle::kBundleLen);
    const struct {
      const char* name;
      std::span<const uint8_t> label;
    } ids[] = {{"key_identity_ed_sh", label_bytes(valtorimesca::suites::kLabelEdSh)},
               {"key_identity_sr_sh", label_bytes(valtorimesca::suites::kLabelSrSh)}};
    for (const auto& id : ids) {
      EXPECT_TRUE(
          same_bytes(bytes_of(valtorimesca::stateful::KeyIdentity::derive(id.label, b).bytes), hex_field(k, id.name)))
          << id.name;
    }
    auto material = ShrincsScheme::stateless_key_material(b);
    ASSERT_TRUE(material.ok());
    EXPECT_TRUE(same_bytes(bytes_of(valtorimesca::budget::BudgetKey::from_material(*material).bytes),
                           hex_field(k, "budget_key")));
    auto capacity = ShrincsScheme::max_signatures_from_vk(b);
    ASSERT_TRUE(capacity.ok());
    EXPECT_EQ(*capacity, field(k, "capacity").get<uint32_t>());
  }
}

// The stateful path runs once per Keccak implementation level this
// processor has: key generation and import recompute both roots, signing
// rebuilds the chain nodes, and all of it goes through the multi-lane code.
struct Level {
  keccak::Backend cap;
  const char* name;
};
void PrintTo(const Level& l, std::ostream* os) { *os << l.name; }
constexpr Level kLevels[] = {{keccak::Backend::kPortable, "portable"},
                             {keccak::Backend::kAvx2, "avx2"},
                             {keccak::Backend::kAvx512f, "avx512f"},
                             {keccak::Backend::kAvx512vl, "avx512vl"}};

class ShrincsStatefulVectors : public ::testing::TestWithParam<Level> {
 protected:
  void SetUp() override {
    if (keccak::best_backend() < GetParam().cap) GTEST_SKIP() << GetParam().name << " not on this processor";
    keccak::cap_backend(GetParam().cap);
    ASSERT_EQ(keccak::active_backend(), GetParam().cap);
  }
  void TearDown() override { keccak::uncap_backend(); }
};

TEST_P(ShrincsStatefulVectors, EveryLeafSignedInTurn) {
  for (const json& k : keys()) {
    SCOPED_TRACE(where(k));
    const uint32_t capacity = field(k, "capacity").get<uint32_t>();
    Bytes b;
    ShrincsSecretKey generated = generate(k, b);
    ASSERT_TRUE(generated.present());
    const Bytes commitment(b.begin() + bundle::kCommitmentOffset, b.begin() + bundle::kCommitmentOffset + 32);
    const json& messages = field(k, "stateful");
    ASSERT_FALSE(messages.empty());
    for (const json& m : messages) {
      SCOPED_TRACE(vt_test::string_field(m, "message_name"));
      const Bytes msg = hex_field(m, "message");
      const auto action = valtorimesca::shrincs::action_for(msg);
      EXPECT_TRUE(same_bytes(bytes_of(keccak::keccak256(msg)), hex_field(m, "word4_keccak256_message")));
      EXPECT_TRUE(same_bytes(bytes_of(action.words[4]), hex_field(m, "word4_keccak256_message")));
      EXPECT_TRUE(same_bytes(bytes_of(shrincs::dispatch::action_message_hash(
                                 shrincs::dispatch::Path::Stateful, std::span<const uint8_t, 32>(commitment), action)),
                             hex_field(m, "action_message_hash_stateful")));

      ShrincsSecretKey key = imported(hex_field(k, "engine_key"));
      ASSERT_TRUE(key.present());
      const json& sigs = field(m, "signatures");
      ASSERT_EQ(sigs.size(), capacity);
      for (uint32_t q = 1; q <= capacity; ++q) {
        const json& s = sigs.at(q - 1);
        SCOPED_TRACE("leaf " + std::to_string(q));
        ASSERT_EQ(field(s, "leaf").get<uint32_t>(), q);
        const Bytes want = hex_field(s, "signature");
        ASSERT_EQ(want.size(), field(s, "length").get<size_t>());
        ASSERT_EQ(want.size(), valtorimesca::shrincs::stateful_sig_len(q));

        Bytes sig(want.size());
        auto n = ShrincsScheme::sign_stateful(key, b, msg, sig);
        ASSERT_TRUE(n.ok());
        ASSERT_EQ(*n, want.size());
        EXPECT_TRUE(same_bytes(sig, want)) << "signature";
        const Bytes after = hex_field(s, "engine_key_after");
        EXPECT_TRUE(same_bytes(exported(key), after)) << "engine key after the leaf";
        EXPECT_TRUE(imported(after).present());

        EXPECT_TRUE(ShrincsScheme::verify_stateful(b, action, want).declassify());
        EXPECT_FALSE(ShrincsScheme::verify_stateless(b, action, want).declassify());
      }
    }
  }
}

std::string level_name(const ::testing::TestParamInfo<Level>& p) { return p.param.name; }
INSTANTIATE_TEST_SUITE_P(Levels, ShrincsStatefulVectors, ::testing::ValuesIn(kLevels), level_name);

// The few-time signature is deterministic and leaves the key as it was; the
// counters and indices the file records are those the engine reads back
// out of the signature.
TEST(ShrincsVectors, FewTimeSignature) {
  size_t seen = 0;
  for (const json& k : keys()) {
    if (!k.contains("stateless")) continue;
    ++seen;
    SCOPED_TRACE(where(k));
    const json& st = field(k, "stateless");
    Bytes b;
    ShrincsSecretKey key = generate(k, b);
    ASSERT_TRUE(key.present());
    const Bytes msg = hex_field(st, "message");
    const auto action = valtorimesca::shrincs::action_for(msg);
    const auto digest =
        shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateless, key.keys().commitment, action);
    EXPECT_TRUE(same_bytes(bytes_of(digest), hex_field(st, "action_message_hash_stateless")));

    const Bytes want = hex_field(st, "signature");
    ASSERT_EQ(want.size(), field(st, "length").get<size_t>());
    ASSERT_EQ(want.size(), valtorimesca::shrincs::kStatelessSigLen);
    const Bytes before = exported(key);
    Bytes sig(want.size());
    auto n = ShrincsScheme::sign_stateless(key, action, sig);
    ASSERT_TRUE(n.ok());
    ASSERT_EQ(*n, want.size());
    EXPECT_TRUE(same_bytes(sig, want)) << "few-time signature";
    EXPECT_TRUE(same_bytes(exported(key), hex_field(st, "engine_key_after"))) << "engine key after";
    EXPECT_TRUE(same_bytes(exported(key), before)) << "key changed by few-time signing";
    EXPECT_TRUE(ShrincsScheme::verify_stateless(b, action, want).declassify());
    EXPECT_FALSE(ShrincsScheme::verify_stateful(b, action, want).declassify());

    auto decoded = valtorimesca::shrincs::read_flat_stateless(want);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->fors.counter, field(st, "fors_counter").get<uint32_t>());
    hash::Digest pk_seed{}, root{};
    std::copy_n(b.begin() + bundle::kStatelessSeedOffset, 32, pk_seed.begin());
    std::copy_n(b.begin() + bundle::kHypertreeRootOffset, 32, root.begin());
    auto fors = sphincs_plus_c::fors_c::verify_fors_c_and_return_root(pk_seed, root, digest, decoded->fors);
    ASSERT_TRUE(fors.has_value());
    EXPECT_EQ(fors->tree_index, field(st, "tree_index").get<uint64_t>());
    EXPECT_EQ(fors->leaf_index, field(st, "leaf_index").get<uint32_t>());
    std::vector<uint32_t> counters;
    for (const auto& layer : decoded->layers) counters.push_back(layer.counter);
    EXPECT_EQ(counters, field(st, "layer_counters").get<std::vector<uint32_t>>());
  }
  EXPECT_GT(seen, 0u) << "no few-time signature in the file";
}

}  // namespace
