// The stateful suites through the suite ABI: key generation into caller
// buffers, handles opened from blobs, signing on both paths, verification
// against whole and stored public keys, and the refusals of each.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <functional>
#include <string>
#include <vector>

#include "../stateful/recording.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"
#include "valtorimesca_abi/verify.hpp"

namespace {

using namespace valtorimesca_abi;
namespace ss = valtorimesca_abi::stateful_suites;
using vt_test::RecordingBudget;
using vt_test::RecordingJournal;
using V = std::vector<uint8_t>;

const V kMsg = {'p', 'a', 'y', ' ', '1', '0'};
const V kCtx = {'l', 'e', 'd', 'g', 'e', 'r'};
constexpr SuiteCode kStatelessCodes[] = {SuiteCode::ED_ML_44, SuiteCode::ED_FN_512, SuiteCode::SR_ML_44,
                                         SuiteCode::SR_FN_512};

V seed(uint8_t tag) { return V(32, tag); }

struct Generated {
  V blob = V(496);
  V pk = V(196);
};

Generated generate(SuiteCode suite, uint8_t tag, uint32_t capacity) {
  Generated g;
  EXPECT_TRUE(ss::keygen_stateful_from_seed(suite, seed(tag), capacity, g.blob, g.pk).ok());
  return g;
}

V stored_of(SuiteCode suite, const V& pk) {
  V out(64);
  EXPECT_EQ(ss::stored_public_key(suite, pk, out).value(), 64u);
  return out;
}

RecordingJournal journal_for(SuiteCode suite, const V& pk) {
  RecordingJournal j;
  j.bound = valtorimesca::stateful::KeyIdentity{ss::key_identity(suite, pk).value()};
  return j;
}

bool verifies(SuiteCode suite, const V& pk, const V& sig, bool stateful_path, const V& msg = kMsg,
              const V& ctx = kCtx) {
  const V bundle(pk.begin() + 32, pk.end());
  const V stored = stored_of(suite, pk);
  if (stateful_path) {
    const bool whole = ss::verify_stateful(suite, pk, msg, ctx, sig).value();
    EXPECT_EQ(whole, verify::verify(suite, pk, msg, ctx, sig));
    EXPECT_EQ(whole, ss::verify_with_stored_public_key_stateful(suite, stored, bundle, msg, ctx, sig).value());
    EXPECT_FALSE(ss::verify_stateless(suite, pk, msg, ctx, sig).value());
    return whole;
  }
  const bool whole = ss::verify_stateless(suite, pk, msg, ctx, sig).value();
  EXPECT_EQ(whole, ss::verify_with_stored_public_key_stateless(suite, stored, bundle, msg, ctx, sig).value());
  EXPECT_FALSE(ss::verify_stateful(suite, pk, msg, ctx, sig).value());
  EXPECT_FALSE(verify::verify(suite, pk, msg, ctx, sig));
  return whole;
}

// Every field of a signature, changed one at a time, is refused.
void expect_tampering_refused(SuiteCode suite, const V& pk, const V& sig, bool stateful_path) {
  struct Tamper {
    std::string name;
    std::function<void(V&)> change;
  };
  std::vector<Tamper> t = {
      {"classical half", [](V& s) { s[3] ^= 1; }},   {"selector to the other path", [](V& s) { s[64] ^= 3; }},
      {"selector 3", [](V& s) { s[64] = 3; }},       {"trailing byte", [](V& s) { s.push_back(0); }},
      {"last byte", [](V& s) { s.back() ^= 0x40; }},
  };
  if (stateful_path) {
    const size_t pq = 69;
    t.push_back({"leaf count + 1", [](V& s) { s[68] += 1; }});
    t.push_back({"leaf count 0", [](V& s) { s[65] = s[66] = s[67] = s[68] = 0; }});
    t.push_back({"randomizer", [&](V& s) { s[pq + 7] ^= 1; }});
    t.push_back({"grind counter", [&](V& s) { s[pq + 35] ^= 1; }});
    t.push_back({"chain value", [&](V& s) { s[pq + 36 + 32 * 20] ^= 1; }});
    t.push_back({"authentication node", [&](V& s) { s[pq + 2084] ^= 1; }});
  } else {
    const size_t pq = 65;
    t.push_back({"FORS randomizer", [&](V& s) { s[pq + 1] ^= 1; }});
    t.push_back({"FORS counter", [&](V& s) { s[pq + 35] ^= 1; }});
    t.push_back({"FORS entry", [&](V& s) { s[pq + 36 + 480 * 7 + 100] ^= 1; }});
    t.push_back({"hypertree layer", [&](V& s) { s[pq + 10116 + 2372 * 3 + 70] ^= 1; }});
  }
  for (const Tamper& x : t) {
    V s = sig;
    x.change(s);
    EXPECT_FALSE(verifies(suite, pk, s, stateful_path)) << x.name;
    EXPECT_FALSE(verifies(suite, pk, s, !stateful_path)) << x.name;
  }
  // The same signature under another message, context or suite.
  EXPECT_FALSE(verifies(suite, pk, sig, stateful_path, V{'x'}));
  EXPECT_FALSE(verifies(suite, pk, sig, stateful_path, kMsg, V{}));
  EXPECT_FALSE(verifies(suite, pk, sig, stateful_path, kMsg, V(256, 1)));
  const SuiteCode other = suite == SuiteCode::ED_SH ? SuiteCode::SR_SH : SuiteCode::ED_SH;
  EXPECT_FALSE(verifies(other, pk, sig, stateful_path));
  // A public key whose bundle carries a changed commitment field.
  V bad_pk = pk;
  bad_pk[32 + 68] ^= 1;
  EXPECT_FALSE(ss::verify_stateful(suite, bad_pk, kMsg, kCtx, sig).value());
  EXPECT_FALSE(ss::verify_stateless(suite, bad_pk, kMsg, kCtx, sig).value());
}

// The stored form: the bundle the signer supplies must be the one the stored
// commitment names, and the classical key is always the stored one.
void expect_stored_refusals(SuiteCode suite, const V& pk, const V& sig, bool stateful_path, const V& other_pk) {
  auto check = [&](const V& stored, const V& bundle) {
    return stateful_path ? ss::verify_with_stored_public_key_stateful(suite, stored, bundle, kMsg, kCtx, sig).value()
                         : ss::verify_with_stored_public_key_stateless(suite, stored, bundle, kMsg, kCtx, sig).value();
  };
  const V stored = stored_of(suite, pk);
  const V bundle(pk.begin() + 32, pk.end());
  ASSERT_TRUE(check(stored, bundle));
  V carried = bundle;
  carried[68] ^= 1;
  V commitment = stored;
  commitment[40] ^= 1;
  V classical = stored_of(suite, other_pk);
  std::copy(stored.begin() + 32, stored.end(), classical.begin() + 32);
  V zero_commitment = stored;
  std::fill(zero_commitment.begin() + 32, zero_commitment.end(), 0);
  const V other_bundle(other_pk.begin() + 32, other_pk.end());
  EXPECT_FALSE(check(stored, carried)) << "carried commitment";
  EXPECT_FALSE(check(commitment, bundle)) << "stored commitment";
  EXPECT_FALSE(check(classical, bundle)) << "stored classical key";
  EXPECT_FALSE(check(zero_commitment, bundle)) << "zero commitment";
  EXPECT_FALSE(check(stored, other_bundle)) << "another key's bundle";
  EXPECT_FALSE(check(stored, V(bundle.begin(), bundle.end() - 1))) << "163-byte bundle";
  V longer = bundle;
  longer.push_back(0);
  EXPECT_FALSE(check(stored, longer)) << "165-byte bundle";
  EXPECT_FALSE(check(V(stored.begin(), stored.end() - 1), bundle)) << "63-byte stored key";
}

void round_trip(SuiteCode suite, uint32_t capacity, uint8_t tag) {
  SCOPED_TRACE("suite " + std::to_string(int(suite)) + " capacity " + std::to_string(capacity));
  const Generated g = generate(suite, tag, capacity);
  const Generated other = generate(suite, uint8_t(tag + 1), capacity);
  auto h = handle::open(suite, g.blob);
  ASSERT_TRUE(h.ok());
  V exported(496);
  ASSERT_EQ(handle::export_blob(*h, exported).value(), 496u);
  EXPECT_EQ(exported, g.blob);
  const auto id = ss::key_identity(suite, g.pk).value();
  EXPECT_EQ(handle::key_identity(*h), id);
  EXPECT_EQ(ss::key_identity_from_secret_key(suite, g.blob).value(), id);

  // A signature of each path verifies only on its path, and every change
  // to it or to the key material beside it is refused.
  auto check_signature = [&](const AbiResult<size_t>& n, V& sig, size_t len, bool stateful_path) {
    ASSERT_TRUE(n.ok());
    ASSERT_EQ(*n, len);
    sig.resize(*n);
    EXPECT_TRUE(verifies(suite, g.pk, sig, stateful_path));
    expect_tampering_refused(suite, g.pk, sig, stateful_path);
    expect_stored_refusals(suite, g.pk, sig, stateful_path, other.pk);
  };
  RecordingJournal j = journal_for(suite, g.pk);
  V sig(signature_len(suite));
  check_signature(handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, sig), sig, 2185, true);
  // The key advanced; its blob opens again with the same identity.
  ASSERT_TRUE(handle::export_blob(*h, exported).ok());
  EXPECT_EQ(exported[331], 1);
  auto reopened = handle::open(suite, exported);
  ASSERT_TRUE(reopened.ok());
  EXPECT_EQ(handle::key_identity(*reopened), id);

  RecordingBudget store;
  V ssig(signature_len(suite));
  check_signature(handle::sign_stateless_with_handle(*h, store, kMsg, kCtx, ssig), ssig, 29157, false);
  EXPECT_EQ(store.log, (std::vector<std::string>{"consumed", "record(1)"}));
}

TEST(StatefulAbi, RoundTripsAtCapacitiesOneAndTwo) {
  round_trip(SuiteCode::ED_SH, 1, 10);
  round_trip(SuiteCode::SR_SH, 2, 20);
}

TEST(StatefulAbi, RoundTripAtFullCapacity) {
  const SuiteCode suite = SuiteCode::SR_SH;
  const Generated g = generate(suite, 30, 4096);
  auto h = handle::open(suite, g.blob);
  ASSERT_TRUE(h.ok());
  RecordingJournal j = journal_for(suite, g.pk);
  V sig(signature_len(suite));
  for (uint32_t q = 1; q <= 3; ++q) {
    auto n = handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, sig);
    ASSERT_TRUE(n.ok());
    EXPECT_EQ(*n, 2153u + 32 * q);
    EXPECT_TRUE(verifies(suite, g.pk, V(sig.begin(), sig.begin() + *n), true));
  }
  // The last leaf: the largest signature of the suites.
  V blob(496);
  ASSERT_TRUE(handle::export_blob(*h, blob).ok());
  blob[64 + 132] = 0, blob[64 + 133] = 0, blob[64 + 134] = 0x10, blob[64 + 135] = 0x00;  // next leaf 4096
  blob[328] = 0, blob[329] = 0, blob[330] = 0x0f, blob[331] = 0xff;                      // 4095 spent
  auto last = handle::open(suite, blob);
  ASSERT_TRUE(last.ok());
  j.count = 4095;
  auto n = handle::sign_stateful_with_handle(*last, j, kMsg, kCtx, sig);
  ASSERT_TRUE(n.ok());
  ASSERT_EQ(*n, 133225u);
  EXPECT_TRUE(verifies(suite, g.pk, sig, true));
  expect_tampering_refused(suite, g.pk, sig, true);
  V none(sig.size());
  EXPECT_EQ(handle::sign_stateful_with_handle(*last, j, kMsg, kCtx, none).error(), AbiError::LeavesExhausted);

  RecordingBudget store;
  V ssig(signature_len(suite));
  auto m = handle::sign_stateless_with_handle(*h, store, kMsg, kCtx, ssig);
  ASSERT_TRUE(m.ok());
  ssig.resize(*m);
  EXPECT_TRUE(verifies(suite, g.pk, ssig, false));
}

// The classical half of an ED_SH signature is a plain Ed25519 signature of
// the message representative 0x01 ‖ label ‖ |ctx| ‖ ctx ‖ msg, as OpenSSL
// sees it.
TEST(StatefulAbi, ClassicalHalfIsEd25519OverTheMessageRepresentative) {
  const Generated g = generate(SuiteCode::ED_SH, 40, 1);
  auto h = handle::open(SuiteCode::ED_SH, g.blob);
  ASSERT_TRUE(h.ok());
  RecordingJournal j = journal_for(SuiteCode::ED_SH, g.pk);
  V sig(signature_len(SuiteCode::ED_SH));
  ASSERT_TRUE(handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, sig).ok());
  const std::string label = "hybrid-ed25519-shrincs-256s-v1";
  V m = {0x01};
  m.insert(m.end(), label.begin(), label.end());
  m.push_back(0);
  m.push_back(uint8_t(kCtx.size()));
  m.insert(m.end(), kCtx.begin(), kCtx.end());
  m.insert(m.end(), kMsg.begin(), kMsg.end());
  auto openssl_verifies = [&](const V& msg) {
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, g.pk.data(), 32);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    const bool ok = key && ctx && EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key) == 1 &&
                    EVP_DigestVerify(ctx, sig.data(), 64, msg.data(), msg.size()) == 1;
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    return ok;
  };
  EXPECT_TRUE(openssl_verifies(m));
  m.back() ^= 1;
  EXPECT_FALSE(openssl_verifies(m));
}

TEST(StatefulAbi, WrongGroupIsRefusedFirst) {
  const V empty;
  V buf;
  for (SuiteCode c : kStatelessCodes) {
    EXPECT_EQ(ss::keygen_stateful_from_seed(c, empty, 0, buf, buf).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::key_identity(c, empty).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::key_identity_from_secret_key(c, empty).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::stored_public_key(c, empty, buf).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::verify_stateful(c, empty, empty, empty, empty).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::verify_stateless(c, empty, empty, empty, empty).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::verify_with_stored_public_key_stateful(c, empty, empty, empty, empty, empty).error(),
              AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(ss::verify_with_stored_public_key_stateless(c, empty, empty, empty, empty, empty).error(),
              AbiError::WrongEntryPointForSuite);
    EXPECT_EQ(handle::open(c, empty).error(), AbiError::WrongEntryPointForSuite);
    EXPECT_FALSE(ss::verify_stateful_pk(c, empty, empty, empty, empty));
  }
}

TEST(StatefulAbi, KeygenAndOpenRefusals) {
  const SuiteCode ed = SuiteCode::ED_SH;
  V sk(496), pk(196), small_sk(495), small_pk(195);
  EXPECT_EQ(ss::keygen_stateful_from_seed(ed, V(31), 1, sk, pk).error(), AbiError::BadLength);
  for (uint32_t cap : {0u, 4097u})
    EXPECT_EQ(ss::keygen_stateful_from_seed(ed, seed(1), cap, sk, pk).error(), AbiError::ComponentFailure);
  EXPECT_EQ(ss::keygen_stateful_from_seed(ed, seed(1), 1, small_sk, pk).error(), AbiError::BadLength);
  EXPECT_EQ(small_sk, V(495));
  EXPECT_EQ(pk, V(196));
  EXPECT_EQ(ss::keygen_stateful_from_seed(ed, seed(1), 1, sk, small_pk).error(), AbiError::BadLength);
  EXPECT_NE(sk, V(496));  // the blob was written before the public key was refused
  EXPECT_EQ(small_pk, V(195));

  const Generated g = generate(ed, 1, 1);
  EXPECT_EQ(sk, g.blob);
  EXPECT_EQ(handle::open(SuiteCode::SR_ML_44, g.blob).error(), AbiError::WrongEntryPointForSuite);
  for (size_t n : {495u, 497u}) {
    V b = g.blob;
    b.resize(n);
    EXPECT_EQ(handle::open(ed, b).error(), AbiError::BadLength);
    EXPECT_EQ(ss::key_identity_from_secret_key(ed, b).error(), AbiError::BadLength);
  }
  V counted = g.blob;
  counted[331] = 1;
  EXPECT_EQ(handle::open(ed, counted).error(), AbiError::ComponentFailure);
  EXPECT_EQ(ss::key_identity_from_secret_key(ed, counted).error(), AbiError::ComponentFailure);

  // Identities: the same bytes under the other code give another identity.
  EXPECT_NE(ss::key_identity(ed, g.pk).value(), ss::key_identity(SuiteCode::SR_SH, g.pk).value());
  EXPECT_EQ(ss::key_identity(ed, V(195)).error(), AbiError::BadLength);
  V out65(65);
  EXPECT_EQ(ss::stored_public_key(ed, g.pk, out65).error(), AbiError::BadLength);
  V out64(64);
  EXPECT_EQ(ss::stored_public_key(ed, V(197), out64).error(), AbiError::BadLength);

  auto h = handle::open(ed, g.blob);
  ASSERT_TRUE(h.ok());
  V e495(495, 7), e497(497, 7);
  EXPECT_EQ(handle::export_blob(*h, e495).error(), AbiError::BadLength);
  EXPECT_EQ(handle::export_blob(*h, e497).error(), AbiError::BadLength);
  EXPECT_EQ(e495, V(495, 7));
  EXPECT_EQ(e497, V(497, 7));
}

// Opening checks the engine key and the counter only. A blob whose other
// parts disagree with them opens and names an identity, but neither signer
// uses it: both refuse with ComponentFailure before the journal or the
// budget store is asked anything, so nothing is spent.
TEST(StatefulAbi, KeysWhosePartsDisagreeOpenButSignNothing) {
  const SuiteCode ed = SuiteCode::ED_SH, sr = SuiteCode::SR_SH;
  const Generated e = generate(ed, 6, 2), s = generate(sr, 6, 2), o = generate(ed, 7, 2);
  auto flipped = [](V b, size_t at, uint8_t x) {
    b[at] ^= x;
    return b;
  };
  V spliced = e.blob;
  std::copy(o.blob.begin() + 332, o.blob.end(), spliced.begin() + 332);
  struct Case {
    const char* name;
    SuiteCode suite;
    V blob;
  };
  const Case cases[] = {
      {"Ed25519 seed", ed, flipped(e.blob, 5, 0x04)}, {"Ed25519 public half", ed, flipped(e.blob, 63, 0x01)},
      {"another key's bundle", ed, spliced},          {"SR_SH bundle", sr, flipped(s.blob, 332 + 100, 0x01)},
      {"an SR_SH blob opened as ED_SH", ed, s.blob},
  };
  for (const Case& c : cases) {
    auto h = handle::open(c.suite, c.blob);
    ASSERT_TRUE(h.ok()) << c.name;
    const auto id = ss::key_identity_from_secret_key(c.suite, c.blob);
    ASSERT_TRUE(id.ok()) << c.name;
    EXPECT_EQ(handle::key_identity(*h), *id) << c.name;
    RecordingJournal j;
    j.bound = valtorimesca::stateful::KeyIdentity{*id};
    RecordingBudget store;
    V sig(signature_len(c.suite));
    EXPECT_EQ(handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, sig).error(), AbiError::ComponentFailure) << c.name;
    EXPECT_EQ(handle::sign_stateless_with_handle(*h, store, kMsg, kCtx, sig).error(), AbiError::ComponentFailure)
        << c.name;
    EXPECT_TRUE(j.log.empty()) << c.name;
    EXPECT_TRUE(store.log.empty()) << c.name;
    V back(496);
    ASSERT_TRUE(handle::export_blob(*h, back).ok());
    EXPECT_EQ(back, c.blob) << c.name;  // unchanged: no leaf was spent
  }
  // Nothing in a blob names its suite: the same bytes give one identity per
  // code, and under SR_SH's own code the key signs.
  const auto as_ed = ss::key_identity_from_secret_key(ed, s.blob), as_sr = ss::key_identity_from_secret_key(sr, s.blob);
  ASSERT_TRUE(as_ed.ok() && as_sr.ok());
  EXPECT_NE(*as_ed, *as_sr);
  EXPECT_EQ(*as_sr, ss::key_identity(sr, s.pk).value());
  auto h = handle::open(sr, s.blob);
  ASSERT_TRUE(h.ok());
  RecordingJournal j = journal_for(sr, s.pk);
  V sig(signature_len(sr));
  EXPECT_TRUE(handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, sig).ok());
}

TEST(StatefulAbi, ShortBuffersAreFoundAfterTheSpend) {
  const SuiteCode ed = SuiteCode::ED_SH;
  const Generated g = generate(ed, 3, 2);
  auto h = handle::open(ed, g.blob);
  ASSERT_TRUE(h.ok());
  RecordingJournal j = journal_for(ed, g.pk);
  V short_sig(2184, 9);
  EXPECT_EQ(handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, short_sig).error(), AbiError::OutputBufferTooSmall);
  EXPECT_EQ(short_sig, V(2184, 9));
  EXPECT_EQ(j.count, 1u);  // committed, and the key advanced with it
  V blob(496);
  ASSERT_TRUE(handle::export_blob(*h, blob).ok());
  EXPECT_EQ(blob[331], 1);
  V sig(signature_len(ed));
  auto n = handle::sign_stateful_with_handle(*h, j, kMsg, kCtx, sig);
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(*n, 2185u + 32);  // leaf 2

  RecordingBudget store;
  V short_ssig(29156, 9);
  EXPECT_EQ(handle::sign_stateless_with_handle(*h, store, kMsg, kCtx, short_ssig).error(),
            AbiError::OutputBufferTooSmall);
  EXPECT_EQ(store.log, (std::vector<std::string>{"consumed", "record(1)"}));
  V after(496);
  ASSERT_TRUE(handle::export_blob(*h, after).ok());
  EXPECT_EQ(after[331], 2);

  // Refusals map by kind.
  RecordingJournal stranger;
  EXPECT_EQ(handle::sign_stateful_with_handle(*h, stranger, kMsg, kCtx, sig).error(), AbiError::JournalKeyMismatch);
  store.consumed_answer = valtorimesca::budget::Consumed::recorded(valtorimesca::budget::STATELESS_BUDGET_LIMIT);
  EXPECT_EQ(handle::sign_stateless_with_handle(*h, store, kMsg, kCtx, sig).error(), AbiError::StatelessBudgetExhausted);
  EXPECT_EQ(handle::sign_stateless_with_handle(*h, store, kMsg, V(256), sig).error(), AbiError::SigningFailed);
}

TEST(StatefulAbi, RequireBoundKeyAndWriteSig) {
  const Generated g = generate(SuiteCode::SR_SH, 4, 1);
  const auto id = ss::key_identity(SuiteCode::SR_SH, g.pk).value();
  RecordingJournal unbound;
  EXPECT_EQ(ss::require_bound_key(unbound, id).error(), AbiError::JournalKeyMismatch);
  EXPECT_FALSE(unbound.bound.has_value());
  EXPECT_EQ(unbound.log, (std::vector<std::string>{"bound_key"}));
  RecordingJournal other;
  other.bound = valtorimesca::stateful::KeyIdentity{{9}};
  EXPECT_EQ(ss::require_bound_key(other, id).error(), AbiError::JournalKeyMismatch);
  RecordingJournal mine = journal_for(SuiteCode::SR_SH, g.pk);
  EXPECT_TRUE(ss::require_bound_key(mine, id).ok());

  const V sig(10, 1);
  V exact(10), longer(12, 7), shorter(9, 7);
  EXPECT_EQ(ss::write_sig(exact, sig).value(), 10u);
  EXPECT_EQ(exact, sig);
  EXPECT_EQ(ss::write_sig(longer, sig).value(), 10u);
  EXPECT_EQ(longer, (V{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 7, 7}));
  EXPECT_EQ(ss::write_sig(shorter, sig).error(), AbiError::OutputBufferTooSmall);
  EXPECT_EQ(shorter, V(9, 7));
}

}  // namespace
