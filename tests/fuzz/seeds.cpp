// Writes the seed corpora of the fuzz targets: valid inputs made here with
// fixed keys, and the known-answer vectors of other implementations, so the
// fuzzers start from inputs that reach the deep checks.
//
//   fuzz_seeds OUT_DIR     writes OUT_DIR/<target>/<name> for every target
#include <sodium.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bip39/bip39.hpp"
#include "engine_codecs.hpp"
#include "fndsa/fndsa.hpp"
#include "fuzz_input.hpp"
#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/shrincs/signer.hpp"
#include "mldsa/mldsa.hpp"
#include "recording.hpp"
#include "sha2/sha2.hpp"
#include "valtorimesca/classical/ed25519.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/suites.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"
#include "valtorimesca_abi/stateless_suites.hpp"
#include "valtorimesca_abi/vrf.hpp"
#include "vectors.hpp"

namespace fs = std::filesystem;
using fuzz::Bytes;
using fuzz::Writer;
using Vec = std::vector<uint8_t>;
using valtorimesca::classical::ed25519::Ed25519;
using valtorimesca::classical::sr25519::Sr25519;

namespace {

fs::path g_out;
int g_count = 0;

void put(const std::string& target, const std::string& name, const Vec& bytes) {
  const fs::path dir = g_out / target;
  fs::create_directories(dir);
  std::ofstream f(dir / name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + (dir / name).string());
  ++g_count;
}

// "<a><x><b><y>", e.g. tag("k", 0, "s", 3) = "k0s3".
std::string tag(const char* a, long x, const char* b = "", long y = -1) {
  char buf[64];
  if (y < 0)
    std::snprintf(buf, sizeof buf, "%s%ld%s", a, x, b);
  else
    std::snprintf(buf, sizeof buf, "%s%ld%s%ld", a, x, b, y);
  return buf;
}

Vec text(const std::string& s) { return Vec(s.begin(), s.end()); }

std::array<uint8_t, 32> seed32(uint8_t tag) {
  std::array<uint8_t, 32> s{};
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint8_t>(tag * 31 + i);
  return s;
}

// A few messages and contexts every signing target uses.
const std::vector<std::pair<Vec, Vec>>& messages() {
  static const std::vector<std::pair<Vec, Vec>> m = {
      {{}, {}}, {text("abc"), {}}, {text("message"), text("ctx")}, {Vec(300, 0x5a), Vec(255, 0x17)}};
  return m;
}

void fndsa_seeds() {
  for (uint8_t k = 0; k < 2; ++k) {
    std::array<uint8_t, fndsa::kSigningKeyLen> sk{};
    std::array<uint8_t, fndsa::kVerifyingKeyLen> vk{};
    fndsa::keygen_from_seed(seed32(k).data(), sk.data(), vk.data());
    put("fndsa", tag("sk", k), Writer().byte(1).field(sk).field({}).field(text("m")).bytes());
    fndsa::SigningKey key;
    if (!key.decode(sk)) throw std::runtime_error("FN-DSA key does not decode");
    int i = 0;
    for (const auto& [msg, ctx] : messages()) {
      std::array<uint8_t, fndsa::kSignSeedLen> rs{};
      rs[0] = static_cast<uint8_t>(i);
      std::array<uint8_t, fndsa::kSignatureLen> sig{};
      if (key.sign_with_seed(msg, ctx, rs.data(), sig.data()) != fndsa::SignStatus::Ok)
        throw std::runtime_error("FN-DSA signing failed");
      put("fndsa", tag("k", k, "s", i++), Writer().byte(0).field(vk).field(ctx).field(msg).raw(sig).bytes());
    }
  }
  int i = 0;
  for (const auto& c : vt_test::load_vectors("fn_dsa_512.json").at("cases")) {
    const Vec vk = vt_test::hex_field(c, "verifying_key_hex");
    for (const auto& s : c.at("signatures")) {
      put("fndsa", tag("vec", i++),
          Writer()
              .byte(0)
              .field(vk)
              .field(vt_test::hex_field(s, "domain_context_hex"))
              .field(vt_test::hex_field(s, "message_hex"))
              .raw(vt_test::hex_field(s, "signature_hex"))
              .bytes());
    }
  }
}

void mldsa_seeds() {
  std::array<uint8_t, mldsa::kPublicKeyLen> pk{};
  std::array<uint8_t, mldsa::kSecretKeyLen> sk{};
  const auto xi = seed32(7);
  mldsa::keygen(xi, pk, sk);
  const std::array<uint8_t, 32> rnd{};
  int i = 0;
  for (const auto& [msg, ctx] : messages()) {
    std::array<uint8_t, mldsa::kSignatureLen> sig{};
    if (mldsa::sign(sk, msg, ctx, rnd, sig) != mldsa::SignStatus::Ok) throw std::runtime_error("ML-DSA signing failed");
    put("mldsa", tag("s", i++), Writer().byte(0).field(pk).field(ctx).field(msg).raw(sig).bytes());
    if (mldsa::sign_internal(sk, msg, rnd, sig) != mldsa::SignStatus::Ok)
      throw std::runtime_error("ML-DSA signing failed");
    put("mldsa", tag("s", i++), Writer().byte(1).field(pk).field({}).field(msg).raw(sig).bytes());
  }
  for (const auto& c : vt_test::load_vectors("ml_dsa_44.json").at("cases")) {
    const Vec vk = vt_test::hex_field(c, "public_key_hex");
    for (const auto& s : c.at("signatures")) {
      put("mldsa", tag("vec", i++),
          Writer()
              .byte(0)
              .field(vk)
              .field(vt_test::hex_field(s, "ctx_hex"))
              .field(vt_test::hex_field(s, "message_hex"))
              .raw(vt_test::hex_field(s, "signature_hex"))
              .bytes());
    }
  }
}

void ed25519_seeds() {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
  if (!Ed25519::derive(seed32(3), sk, pk)) throw std::runtime_error("Ed25519 derive failed");
  int i = 0;
  for (const auto& [msg, ctx] : messages()) {
    std::array<uint8_t, 64> sig{};
    if (!valtorimesca::classical::ed25519::raw_sign(sk, msg, sig)) throw std::runtime_error("Ed25519 signing failed");
    put("ed25519", tag("s", i++), Writer().field(pk).field(msg).raw(sig).bytes());
  }
  for (const auto& c : vt_test::load_vectors("ed25519_zebra.json").at("verification_cases"))
    put("ed25519", tag("zebra", i++),
        Writer()
            .field(vt_test::hex_field(c, "vk_hex"))
            .field(vt_test::hex_field(c, "message_hex"))
            .raw(vt_test::hex_field(c, "sig_hex"))
            .bytes());
  const auto& small = vt_test::load_vectors("ed25519_zip215_small_order_196.json");
  const Vec msg = vt_test::hex_field(small, "message_hex");
  for (const auto& c : small.at("cases"))
    put("ed25519", tag("small", i++),
        Writer().field(vt_test::hex_field(c, "vk_bytes")).field(msg).raw(vt_test::hex_field(c, "sig_bytes")).bytes());
}

void sr25519_seeds() {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
  if (!Sr25519::derive(seed32(4), sk, pk)) throw std::runtime_error("sr25519 derive failed");
  const Vec label = text("substrate");
  int i = 0;
  for (const auto& [msg, ctx] : messages()) {
    std::array<uint8_t, 64> sig{};
    if (!Sr25519::sign_deterministic(sk, msg, ctx, label, sig)) throw std::runtime_error("sr25519 signing failed");
    put("sr25519", tag("s", i++), Writer().field(pk).field(label).field(msg).raw(sig).bytes());
  }
  for (const auto& c : vt_test::load_vectors("schnorrkel.json").at("cases")) {
    const Vec vk = vt_test::hex_field(c, "public_key_hex");
    for (const auto& s : c.at("signatures"))
      put("sr25519", tag("vec", i++),
          Writer()
              .field(vk)
              .field(vt_test::hex_field(s, "context_hex"))
              .field(vt_test::hex_field(s, "message_hex"))
              .raw(vt_test::hex_field(s, "signature_hex (R || s, s[31] |= 0x80)"))
              .bytes());
  }
}

// Points (the identity, B, multiples of B, one with bit 255 set) with edge
// and ordinary scalars: 0, 1, l - 1, 2^252.
void ristretto_seeds() {
  std::array<Vec, 5> points;
  points[0] = Vec(32, 0);
  for (uint8_t n = 1; n < 4; ++n) {
    std::array<uint8_t, 32> s{}, p{};
    s[0] = static_cast<uint8_t>(n * 37);
    if (crypto_scalarmult_ristretto255_base(p.data(), s.data()) != 0) throw std::runtime_error("base multiple");
    points[n] = Vec(p.begin(), p.end());
  }
  points[4] = points[2];
  points[4][31] |= 0x80;
  Vec zero(32, 0), one(32, 0),
      l_minus_1 = {0xec, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10},
      top(32, 0), other(32, 0x33);
  one[0] = 1;
  top[31] = 0x10;
  const Vec* scalars[] = {&zero, &one, &l_minus_1, &top, &other};
  int i = 0;
  for (size_t p = 0; p < points.size(); ++p)
    for (size_t a = 0; a < 5; ++a) {
      const Vec& b = *scalars[(a + p) % 5];
      put("ristretto", tag("p", i++),
          Writer().raw(points[p]).raw(points[(p + 1) % points.size()]).raw(*scalars[a]).raw(b).bytes());
    }
}

template <class C>
void vrf_seeds_of(uint8_t mode, uint8_t tag, const std::string& name) {
  std::array<uint8_t, 64> sk{};
  std::array<uint8_t, 32> pk{};
  if (!C::derive(seed32(tag), sk, pk)) throw std::runtime_error("VRF derive failed");
  int i = 0;
  for (const auto& [input, label] : messages()) {
    std::array<uint8_t, 32> pre{};
    Vec proof(C::kVrfProofLen);
    if (!C::vrf_evaluate_deterministic(sk, label, input, pre, proof)) throw std::runtime_error("VRF evaluation failed");
    put("vrf", name + std::to_string(i++),
        Writer().byte(mode).field(pk).field(label).field(input).field(pre).field(text("ctx")).raw(proof).bytes());
  }
}

void vrf_seeds() {
  vrf_seeds_of<Ed25519>(0, 5, "ed");
  vrf_seeds_of<Sr25519>(1 | (8 << 1), 6, "sr");  // output bytes of 32
  int i = 0;
  for (const auto& c : vt_test::load_vectors("ecvrf_edwards25519_tai.json").at("cases")) {
    if (!c.contains("pi_hex")) continue;
    const Vec pi = vt_test::hex_field(c, "pi_hex");
    if (pi.size() != 80) continue;
    // alpha goes in as the input: under the label framing these proofs do
    // not verify, but their points and scalars are another implementation's.
    put("vrf", tag("vec", i++),
        Writer()
            .byte(0)
            .field(vt_test::hex_field(c, "pk_hex"))
            .field({})
            .field(vt_test::hex_field(c, "alpha_hex"))
            .field(Bytes(pi).first(32))
            .field({})
            .raw(Bytes(pi).subspan(32))
            .bytes());
  }
}

void suite_seeds() {
  using valtorimesca::suites::SuiteCode;
  for (uint8_t code = 1; code <= 4; ++code) {
    const auto c = static_cast<SuiteCode>(code);
    const auto sz = valtorimesca_abi::sizes(c);
    Vec sk(sz.secret_key), pk(sz.public_key), sig(sz.signature);
    const auto seed = seed32(10 + code);
    if (!valtorimesca_abi::stateless_suites::keygen_from_seed(c, seed, sk, pk))
      throw std::runtime_error("suite keygen failed");
    int i = 0;
    for (const auto& [msg, ctx] : messages()) {
      const auto n = valtorimesca_abi::stateless_suites::sign_deterministic(c, sk, msg, ctx, text("nonce"), sig);
      if (!n) throw std::runtime_error("suite signing failed");
      put("suite_verify", tag("c", code, "s", i++),
          Writer().byte(code).field(pk).field(msg).field(ctx).raw(Bytes(sig).first(*n)).bytes());
    }
  }
  put("suite_verify", "bad_code", Writer().byte(0).field(Vec(1344)).field({}).field({}).raw(Vec(2484)).bytes());
}

void suite_vrf_seeds() {
  using valtorimesca::suites::SuiteCode;
  // Proofs of the stateful suites, made with their dedicated VRF key.
  for (uint8_t code : {5, 6}) {
    const auto c = static_cast<SuiteCode>(code);
    Vec pk(196), proof(valtorimesca_abi::sizes(c).vrf_proof);
    auto key = valtorimesca_abi::vrf::VrfStatelessKey::derive(c, seed32(40 + code), pk);
    if (!key) throw std::runtime_error("VRF key derivation failed");
    vt_test::RecordingBudget budget;
    const Vec input = text("vrf input");
    const auto n = valtorimesca_abi::vrf::vrf_prove_stateless(*key, budget, input, proof);
    if (!n) throw std::runtime_error("stateful-suite VRF proving failed");
    put("suite_vrf", tag("c", code),
        Writer().byte(code).field(pk).field(input).field(text("ctx")).raw(Bytes(proof).first(*n)).bytes());
  }
  // Proofs of the stateless suites.
  for (uint8_t code = 1; code <= 4; ++code) {
    const auto c = static_cast<SuiteCode>(code);
    const auto sz = valtorimesca_abi::sizes(c);
    Vec sk(sz.secret_key), pk(sz.public_key), proof(sz.vrf_proof);
    if (!valtorimesca_abi::stateless_suites::keygen_from_seed(c, seed32(20 + code), sk, pk))
      throw std::runtime_error("suite keygen failed");
    int i = 0;
    for (const auto& [input, ctx] : messages()) {
      const auto n = valtorimesca_abi::vrf::vrf_prove_deterministic(c, sk, input, proof);
      if (!n) throw std::runtime_error("suite VRF proving failed");
      put("suite_vrf", tag("c", code, "p", i++),
          Writer().byte(code).field(pk).field(input).field(ctx).raw(Bytes(proof).first(*n)).bytes());
    }
  }
}

void stateful_suite_seeds() {
  namespace ss = valtorimesca_abi::stateful_suites;
  namespace handle = valtorimesca_abi::handle;
  using valtorimesca::suites::SuiteCode;
  for (uint8_t code : {5, 6}) {
    const auto c = static_cast<SuiteCode>(code);
    Vec blob(496), pk(196), stored(64);
    if (!ss::keygen_stateful_from_seed(c, seed32(30 + code), 3, blob, pk))
      throw std::runtime_error("stateful keygen failed");
    put("stateful_suites", tag("c", code, "blob"), Writer().byte(code).byte(0).raw(blob).bytes());
    if (!ss::stored_public_key(c, pk, stored)) throw std::runtime_error("stored public key failed");
    const Bytes bundle = Bytes(pk).subspan(32);
    auto h = handle::open(c, blob);
    if (!h) throw std::runtime_error("stateful blob does not open");
    vt_test::RecordingJournal journal;
    journal.bound = valtorimesca::stateful::KeyIdentity{handle::key_identity(*h)};
    vt_test::RecordingBudget budget;
    Vec sig(valtorimesca_abi::signature_len(c));
    int i = 0;
    for (const auto& [msg, ctx] : messages()) {
      const bool few_time = i % 2 == 1;
      const auto n = few_time ? handle::sign_stateless_with_handle(*h, budget, msg, ctx, sig)
                              : handle::sign_stateful_with_handle(*h, journal, msg, ctx, sig);
      if (!n) throw std::runtime_error("stateful-suite signing failed");
      const Bytes s = Bytes(sig).first(*n);
      put("stateful_suites", tag("c", code, "whole", i),
          Writer().byte(code).byte(1).field(pk).field(msg).field(ctx).raw(s).bytes());
      put("stateful_suites", tag("c", code, "stored", i),
          Writer().byte(code).byte(2).field(stored).field(bundle).field(msg).field(ctx).raw(s).bytes());
      // The dispatcher verifies the stateful path of these suites.
      if (!few_time)
        put("suite_verify", tag("c", code, "s", i), Writer().byte(code).field(pk).field(msg).field(ctx).raw(s).bytes());
      ++i;
    }
    Vec spent(496);
    if (!handle::export_blob(*h, spent)) throw std::runtime_error("export failed");
    put("stateful_suites", tag("c", code, "spent"), Writer().byte(code).byte(0).raw(spent).bytes());
  }
}

hash::Digest digest(const char* s, uint32_t i) {
  return hash::ops::keccak_packed({hash::Part(std::string_view(s)), hash::Part(hash::be32(i))});
}

shrincs::key::Keys engine_keys(uint32_t capacity) {
  auto k = shrincs::key::Keys::generate(
      hash::SecretSeed(digest("fuzz-spx-sk", capacity)), hash::SecretSeed(digest("fuzz-spx-prf", capacity)),
      digest("fuzz-spx-pk", capacity), hash::SecretSeed(digest("fuzz-ux-sk", capacity)),
      hash::SecretSeed(digest("fuzz-ux-prf", capacity)), digest("fuzz-ux-pk", capacity), capacity);
  if (!k) throw std::runtime_error("engine keygen failed");
  return std::move(*k);
}

std::array<uint8_t, 160> action_bytes(uint32_t i) {
  std::array<uint8_t, 160> a{};
  for (size_t w = 0; w < 5; ++w) {
    const auto d = digest("fuzz-action", static_cast<uint32_t>(i * 5 + w));
    std::copy(d.begin(), d.end(), a.begin() + 32 * w);
  }
  return a;
}

void engine_seeds() {
  for (uint32_t cap : {1u, 3u}) {
    auto keys = engine_keys(cap);
    const auto bytes = keys.to_bytes();
    put("engine_key", tag("cap", cap), Vec(bytes.data(), bytes.data() + bytes.size()));
    const auto bundle = keys.public_key().to_bundle();
    for (uint32_t i = 0; i < cap; ++i) {
      const auto a = action_bytes(i);
      const auto action = shrincs::ShrincsAction::from_bytes(a);
      const auto m = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateful, keys.commitment, action);
      const auto sig = shrincs::uxmss::sign_stateful_raw(keys.stateful, m);
      if (!sig) throw std::runtime_error("engine stateful signing failed");
      put("engine_stateful", tag("cap", cap, "leaf", i + 1),
          Writer().field(keys.commitment).field(bundle).raw(a).raw(vt_test::encode_stateful(*sig)).bytes());
    }
    const auto spent = keys.to_bytes();
    put("engine_key", tag("cap", cap, "spent"), Vec(spent.data(), spent.data() + spent.size()));
    if (cap == 3) {
      const auto a = action_bytes(9);
      const auto action = shrincs::ShrincsAction::from_bytes(a);
      const auto m =
          shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateless, keys.commitment, action);
      const auto sig = shrincs::signer::ShrincsSigner::sign_stateless_raw(keys.stateless, m);
      if (!sig) throw std::runtime_error("engine few-time signing failed");
      put("engine_stateless", "fts",
          Writer().field(keys.commitment).field(bundle).raw(a).raw(vt_test::encode_flat(*sig)).bytes());
    }
    keys.zeroize();
  }
}

void bip39_seeds() {
  for (size_t words : {12u, 15u, 18u, 21u, 24u}) {
    const size_t n = words / 3 * 4;
    std::array<uint8_t, 33> bits{};
    for (size_t i = 0; i < n; ++i) bits[i] = static_cast<uint8_t>(words * 13 + i * 7);
    bits[n] = sha2::sha256(Bytes(bits.data(), n))[0];
    Vec phrase;
    for (size_t w = 0; w < words; ++w) {
      uint32_t v = 0;
      for (size_t b = 0; b < 11; ++b) {
        const size_t at = w * 11 + b;
        v = (v << 1) | ((bits[at / 8] >> (7 - at % 8)) & 1u);
      }
      // Words apart by a space, and now and then by an ideographic space.
      const std::string_view sep = w == 0 ? "" : (w % 5 == 0) ? "\xe3\x80\x80" : " ";
      const std::string_view word = bip39::english_word(v);
      phrase.insert(phrase.end(), sep.begin(), sep.end());
      phrase.insert(phrase.end(), word.begin(), word.end());
    }
    put("bip39", tag("w", words), phrase);
  }
  put("bip39", "unknown",
      text("abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon "
           "abandon abandonn"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  g_out = argv[1];
  try {
    fndsa_seeds();
    mldsa_seeds();
    ed25519_seeds();
    sr25519_seeds();
    ristretto_seeds();
    vrf_seeds();
    suite_seeds();
    suite_vrf_seeds();
    stateful_suite_seeds();
    engine_seeds();
    bip39_seeds();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz_seeds: %s\n", e.what());
    return 1;
  }
  std::printf("wrote %d seed inputs under %s\n", g_count, g_out.c_str());
  return 0;
}
