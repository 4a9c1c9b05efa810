// Constant-time check, run under valgrind's memcheck (see CMakeLists.txt).
//
// Each case marks its secret inputs (seeds, secret keys, signing randomness)
// as uninitialised memory; memcheck then reports every conditional branch
// and every memory address that depends on them. The library declassifies
// only what its algorithms reveal by design (rejection decisions and values
// that are published anyway), so a clean run means no other secret reaches a
// branch or an index. Outputs are marked public before they are checked.
//
// Usage: ct_check CASE   (ct_check with no argument lists the cases)
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "engine_codecs.hpp"
#include "fndsa/fndsa.hpp"
#include "fndsa/src/dispatch.hpp"  // FN-DSA's switch to its portable code
#include "hash_engine/engine.hpp"
#include "internal.hpp"  // ML-DSA's switch to its portable arithmetic
#include "keccak/keccak.hpp"
#include "mldsa/mldsa.hpp"
#include "subtle/ct_marks.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/composite.hpp"
#include "valtorimesca/composite_delta.hpp"
#include "valtorimesca/derive.hpp"
#include "valtorimesca/mnemonic.hpp"
#include "valtorimesca/suites.hpp"

namespace {

using subtle::mark_public;
using subtle::mark_secret;
using Bytes = std::span<const uint8_t>;

int failures = 0;

void expect(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

template <size_t N>
std::array<uint8_t, N> pattern(uint8_t tag) {
  std::array<uint8_t, N> a{};
  for (size_t i = 0; i < N; ++i) a[i] = static_cast<uint8_t>(tag + 37 * i);
  return a;
}

template <class T>
void secret(T& a) {
  mark_secret(a.data(), a.size());
}
template <class T>
void reveal(T& a) {
  mark_public(a.data(), a.size());
}

// A generator whose every output is secret.
struct SecretRng {
  uint8_t next = 1;
  void fill_bytes(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = next++;
    mark_secret(p, n);
  }
  void fill_bytes(std::span<uint8_t> s) { fill_bytes(s.data(), s.size()); }
};

constexpr std::string_view kMsg = "constant-time check";
Bytes msg() { return {reinterpret_cast<const uint8_t*>(kMsg.data()), kMsg.size()}; }
constexpr uint8_t kCtx[3] = {'c', 't', 'x'};

// ---- FN-DSA-512: key generation, key decoding, signing ----
using FnDsaSk = std::array<uint8_t, fndsa::kSigningKeyLen>;
using FnDsaVk = std::array<uint8_t, fndsa::kVerifyingKeyLen>;

void fndsa_keygen(uint8_t tag, FnDsaSk& sk, FnDsaVk& vk) {
  auto seed = pattern<fndsa::kKeygenSeedLen>(tag);
  secret(seed);
  fndsa::keygen_from_seed(seed.data(), sk.data(), vk.data());
  reveal(vk);
}

void fndsa_case() {
  FnDsaSk sk{};
  FnDsaVk vk{};
  fndsa_keygen(1, sk, vk);

  secret(sk);
  fndsa::SigningKey key;
  expect(key.decode(sk), "FN-DSA key decodes");
  for (uint8_t round = 0; round < 2; ++round) {
    auto rnd = pattern<fndsa::kSignSeedLen>(static_cast<uint8_t>(50 + round));
    secret(rnd);
    std::array<uint8_t, fndsa::kSignatureLen> sig{};
    const auto st = key.sign_with_seed(msg(), kCtx, rnd.data(), sig.data());
    expect(st == fndsa::SignStatus::Ok, "FN-DSA signs");
    reveal(sig);
    expect(fndsa::verify(vk, msg(), kCtx, sig), "FN-DSA signature verifies");
  }
  // The generic entry draws its randomness from the generator.
  SecretRng rng;
  std::array<uint8_t, fndsa::kSignatureLen> sig{};
  expect(key.sign(msg(), kCtx, rng, sig.data()) == fndsa::SignStatus::Ok, "FN-DSA signs from a generator");
  reveal(sig);
  expect(fndsa::verify(vk, msg(), kCtx, sig), "FN-DSA generator signature verifies");
}

// Key generation on the portable code as well: the case above takes the
// AVX2 kernels wherever the processor (or valgrind) offers them.
void fndsa_portable_case() {
  fndsa::detail::force_portable(true);
  FnDsaSk sk{};
  FnDsaVk vk{};
  fndsa_keygen(3, sk, vk);
  fndsa::detail::force_portable(false);
}

// ---- ML-DSA-44: key generation and signing ----
void mldsa_case() {
  auto xi = pattern<mldsa::kSeedLen>(2);
  std::array<uint8_t, mldsa::kPublicKeyLen> pk{};
  std::array<uint8_t, mldsa::kSecretKeyLen> sk{};
  secret(xi);
  mldsa::keygen(xi, pk, sk);
  reveal(pk);
  secret(sk);
  // Several randomness values, so that refused attempts are exercised too.
  for (uint8_t round = 0; round < 4; ++round) {
    auto rnd = pattern<mldsa::kRndLen>(static_cast<uint8_t>(60 + round));
    secret(rnd);
    std::array<uint8_t, mldsa::kSignatureLen> sig{};
    const auto st = mldsa::sign(sk, msg(), kCtx, rnd, sig);
    expect(st == mldsa::SignStatus::Ok, "ML-DSA signs");
    reveal(sig);
    expect(mldsa::verify(pk, msg(), kCtx, sig), "ML-DSA signature verifies");
  }
  // A key with one s1 coefficient out of range: the one verdict over every
  // coefficient is all that leaves the decoding.
  std::array<uint8_t, mldsa::kSecretKeyLen> bad = sk;
  reveal(bad);
  bad[128] = static_cast<uint8_t>((bad[128] & 0xF8) | 0x05);
  secret(bad);
  auto rnd = pattern<mldsa::kRndLen>(70);
  secret(rnd);
  std::array<uint8_t, mldsa::kSignatureLen> sig{};
  expect(mldsa::sign(bad, msg(), kCtx, rnd, sig) == mldsa::SignStatus::MalformedKey, "ML-DSA refuses a bad key");
}

// The same on the portable arithmetic and Keccak, which run where the
// processor has no AVX2 (the case above takes the AVX2 code under valgrind).
void mldsa_portable_case() {
  mldsa::detail::force_portable_arith(true);
  keccak::force_portable(true);
  mldsa_case();
}

// The same with the attempts prepared two at a time, as signing does where
// the eight-lane Keccak is native (valgrind offers no AVX-512, so the case
// above prepares them one at a time).
void mldsa_pairs_case() {
  mldsa::detail::set_attempt_pairs(mldsa::detail::AttemptPairs::kAlways);
  mldsa_case();
}

// ---- Ed25519: key derivation, signing, ECVRF proving ----
void ed25519_case() {
  namespace ed = valtorimesca::classical::ed25519;
  auto seed = pattern<32>(3);
  std::array<uint8_t, ed::kSecretKeyLen> sk{};
  std::array<uint8_t, ed::kPublicKeyLen> pk{};
  secret(seed);
  expect(ed::Ed25519::derive(seed, sk, pk).ok(), "Ed25519 derives");
  reveal(pk);
  secret(sk);

  std::array<uint8_t, ed::kSignatureLen> sig{};
  SecretRng rng;
  expect(ed::Ed25519::sign(sk, msg(), {}, rng, sig).ok(), "Ed25519 signs");
  reveal(sig);
  expect(ed::verify_zip215(pk, msg(), sig), "Ed25519 signature verifies");

  std::array<uint8_t, ed::kVrfPreOutputLen> pre{};
  std::array<uint8_t, ed::kVrfProofLen> proof{};
  expect(ed::Ed25519::vrf_evaluate_deterministic(sk, kCtx, msg(), pre, proof).ok(), "Ed25519 VRF proves");
  reveal(pre);
  reveal(proof);
  expect(ed::Ed25519::vrf_verify(pk, kCtx, msg(), pre, proof).declassify(), "Ed25519 VRF proof verifies");
}

// ---- sr25519: key derivation, signing, VRF proving ----
void sr25519_case() {
  namespace sr = valtorimesca::classical::sr25519;
  auto seed = pattern<32>(4);
  std::array<uint8_t, sr::kSecretKeyLen> sk{};
  std::array<uint8_t, sr::kPublicKeyLen> pk{};
  secret(seed);
  expect(sr::Sr25519::derive(seed, sk, pk).ok(), "sr25519 derives");
  reveal(pk);
  secret(sk);

  const uint8_t label[] = "ct-label";
  SecretRng rng;
  std::array<uint8_t, sr::kSignatureLen> sig{};
  expect(sr::Sr25519::sign(sk, msg(), label, rng, sig).ok(), "sr25519 signs (hedged)");
  reveal(sig);
  expect(sr::Sr25519::verify(pk, msg(), label, sig).declassify(), "sr25519 hedged signature verifies");

  auto nonce = pattern<32>(70);
  secret(nonce);
  expect(sr::Sr25519::sign_deterministic(sk, msg(), nonce, label, sig).ok(), "sr25519 signs (deterministic)");
  reveal(sig);
  expect(sr::Sr25519::verify(pk, msg(), label, sig).declassify(), "sr25519 deterministic signature verifies");

  std::array<uint8_t, sr::kPreOutputLen> pre{};
  std::array<uint8_t, sr::kVrfProofLen> proof{};
  expect(sr::Sr25519::vrf_evaluate(sk, label, msg(), rng, pre, proof).ok(), "sr25519 VRF proves (hedged)");
  reveal(pre);
  reveal(proof);
  expect(sr::Sr25519::vrf_verify(pk, label, msg(), pre, proof).declassify(), "sr25519 hedged VRF proof verifies");
  expect(sr::Sr25519::vrf_evaluate_deterministic(sk, label, msg(), pre, proof).ok(),
         "sr25519 VRF proves (deterministic)");
  reveal(pre);
  reveal(proof);
  expect(sr::Sr25519::vrf_verify(pk, label, msg(), pre, proof).declassify(),
         "sr25519 deterministic VRF proof verifies");
}

// ---- the hash engine: key generation, stateful and few-time signing ----
hash::SecretSeed secret_seed(uint8_t tag) {
  hash::SecretSeed s(pattern<32>(tag));
  mark_secret(s.data(), s.size());
  return s;
}

shrincs::key::Keys engine_keys(uint32_t capacity) {
  auto keys = shrincs::key::Keys::generate(secret_seed(10), secret_seed(11), pattern<32>(12), secret_seed(13),
                                           secret_seed(14), pattern<32>(15), capacity);
  expect(keys.has_value(), "engine key generates");
  // The roots and the commitment are the public key.
  reveal(keys->stateless.root);
  reveal(keys->stateful.root());
  reveal(keys->commitment);
  return std::move(*keys);
}

shrincs::ShrincsAction engine_action(uint8_t tag) {
  shrincs::ShrincsAction a;
  a.words[0] = pattern<32>(20);
  a.words[3] = pattern<32>(21);
  a.words[4] = pattern<32>(tag);
  return a;
}

void engine_stateful_case() {
  auto keys = engine_keys(2);
  const auto pk = keys.public_key();
  for (uint8_t i = 0; i < 2; ++i) {
    const auto action = engine_action(static_cast<uint8_t>(30 + i));
    const auto m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateful, keys.commitment, action);
    auto sig = shrincs::uxmss::sign_stateful_raw(keys.stateful, m);
    expect(sig.has_value(), "stateful signature made");
    if (!sig) return;
    for (auto& v : sig->wots_values) reveal(v);
    for (auto& v : sig->auth_path) reveal(v);
    reveal(sig->randomizer);
    const auto checked = shrincs::dispatch::CheckedKey::check(keys.commitment, pk);
    expect(checked && shrincs::verifier::ShrincsVerifier::verify_stateful(*checked, action, *sig),
           "stateful signature verifies");
  }
}

void engine_stateless_case() {
  // The vector permutations are checked by the stateful case; the portable
  // one keeps this long run (some 500,000 permutations) three times shorter
  // under valgrind.
  keccak::force_portable(true);
  auto keys = engine_keys(1);
  const auto pk = keys.public_key();
  const auto action = engine_action(40);
  const auto m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateless, keys.commitment, action);
  auto sig = shrincs::signer::ShrincsSigner::sign_stateless_raw(keys.stateless, m);
  expect(sig.has_value(), "few-time signature made");
  if (!sig) return;
  const auto bytes = vt_test::encode_flat(*sig);
  mark_public(bytes.data(), bytes.size());
  const auto back = sphincs_plus_c::signature::decode_flat(bytes);
  expect(back.has_value(), "few-time signature decodes");
  const auto checked = shrincs::dispatch::CheckedKey::check(keys.commitment, pk);
  expect(back && checked && shrincs::verifier::ShrincsVerifier::verify_stateless(*checked, action, *back),
         "few-time signature verifies");
}

// ---- master seeds: recovery phrase, component seeds, hard junctions ----
void seeds_case() {
  namespace derive = valtorimesca::derive;
  // Odd white space on purpose: the splitter's every branch is exercised.
  std::string phrase =
      " abandon\tabandon abandon\xe3\x80\x80"
      "abandon  abandon abandon\xc2\xa0"
      "abandon abandon abandon "
      "abandon abandon\nabout ";
  std::string password = "ct";
  mark_secret(phrase.data(), phrase.size());
  mark_secret(password.data(), password.size());
  auto from_phrase = valtorimesca::mnemonic::master_seed_from_mnemonic(phrase, password);
  expect(from_phrase.ok(), "master seed from the phrase");
  // A refused phrase reveals only that it was refused.
  std::string typo = phrase;
  typo[3] = 'x';
  secret(typo);
  expect(!valtorimesca::mnemonic::master_seed_from_mnemonic(typo, password).ok(), "unknown word refused");

  auto master = pattern<32>(6);
  secret(master);
  const uint8_t label[] = "ct-suite";
  std::array<uint8_t, 32> classical{};
  std::array<uint8_t, 64> pq{};
  expect(derive::derive_component_seeds(master, label, classical, pq).ok(), "component seeds");
  const derive::ChainCode code = pattern<32>(80);
  const derive::ChainCode path[2] = {code, pattern<32>(81)};
  expect(derive::derive_hard_junction(master, code).ok(), "hard junction");
  expect(derive::derive_hard_junction_path(master, path).ok(), "hard-junction path");
  expect(derive::derive_stateless_vrf_seed(master, label).ok(), "VRF key seed");
}

// ---- composite keys and signatures: the glue around the components ----
template <class S>
void composite_suite(uint8_t tag) {
  namespace cc = valtorimesca::composite;
  namespace cd = valtorimesca::composite_delta;
  constexpr bool kDelta = valtorimesca::DeltaSuite<S>;
  constexpr size_t kSigLen = [] {
    if constexpr (kDelta)
      return cd::kSignatureLen<S>;
    else
      return cc::kSignatureLen<S>;
  }();
  std::array<uint8_t, 32> master = pattern<32>(tag);
  std::array<uint8_t, cc::Lengths<S>::kSecretKey> sk{};
  std::array<uint8_t, cc::Lengths<S>::kPublicKey> pk{};
  std::array<uint8_t, kSigLen> sig{};
  secret(master);
  if constexpr (kDelta)
    expect(cd::keypair_from_seed<S>(master, sk, pk).ok(), "composite key pair");
  else
    expect(cc::keypair_from_seed<S>(master, sk, pk).ok(), "composite key pair");
  reveal(pk);
  secret(sk);
  SecretRng rng;
  auto nonce = pattern<32>(static_cast<uint8_t>(tag + 1));
  secret(nonce);
  for (int mode = 0; mode < 2; ++mode) {
    bool ok;
    if constexpr (kDelta)
      ok = mode == 0 ? cd::sign<S>(sk, msg(), kCtx, rng, sig).ok()
                     : cd::sign_deterministic<S>(sk, msg(), kCtx, nonce, sig).ok();
    else
      ok = mode == 0 ? cc::sign<S>(sk, msg(), kCtx, rng, sig).ok()
                     : cc::sign_deterministic<S>(sk, msg(), kCtx, nonce, sig).ok();
    reveal(sig);
    if constexpr (kDelta)
      ok = ok && cd::verify<S>(pk, msg(), kCtx, sig);
    else
      ok = ok && cc::verify<S>(pk, msg(), kCtx, sig);
    expect(ok, "composite signature verifies");
  }
}

void composite_case() {
  composite_suite<valtorimesca::suites::EdMl44>(90);
  composite_suite<valtorimesca::suites::SrFn512>(92);
}

// The check of the check: a branch on a secret must be reported, or the
// marks are not compiled in and every other case passes for nothing.
void canary_case() {
  auto secret_byte = pattern<1>(5);
  secret(secret_byte);
  if (subtle::public_value(secret_byte[0] != 0) && (secret_byte[0] & 1) != 0) std::puts("odd");
}

struct Case {
  const char* name;
  void (*run)();
};

constexpr Case kCases[] = {
    {"fndsa", fndsa_case},
    {"fndsa_portable", fndsa_portable_case},
    {"mldsa", mldsa_case},
    {"mldsa_portable", mldsa_portable_case},
    {"mldsa_pairs", mldsa_pairs_case},
    {"ed25519", ed25519_case},
    {"sr25519", sr25519_case},
    {"engine_stateful", engine_stateful_case},
    {"engine_stateless", engine_stateless_case},
    {"seeds", seeds_case},
    {"composite", composite_case},
    {"canary", canary_case},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    for (const auto& c : kCases) std::printf("%s\n", c.name);
    return argc == 1 ? 0 : 2;
  }
  for (const auto& c : kCases) {
    if (std::string_view(argv[1]) == c.name) {
      c.run();
      std::printf("%s: %s\n", c.name, failures == 0 ? "ok" : "FAILED");
      return failures == 0 ? 0 : 1;
    }
  }
  std::fprintf(stderr, "unknown case %s\n", argv[1]);
  return 2;
}
