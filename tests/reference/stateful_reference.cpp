// Prints, as one JSON object keyed by suite code, what the suite ABI makes for
// the ED_SH and SR_SH keys of seed 0x00 0x01 ... 0x1f with 4 leaves: the
// export blob and public key, the first two stateful signatures of "msg" under
// "ctx" with the blob after them, and one few-time signature. Every one of
// them is deterministic.
//
// `stateful_reference shrincs SEED CAPACITY MESSAGE [FEW_TIME_MESSAGE]` prints
// instead what the SHRINCS half makes from a post-quantum component seed (hex)
// with CAPACITY leaves: the bundle and engine key, the signature of MESSAGE
// (hex) by every leaf in turn with the engine key after each, and, when
// given, the few-time signature of FEW_TIME_MESSAGE.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "memory_stores.hpp"
#include "valtorimesca/shrincs/scheme.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"
#include "vectors.hpp"

namespace {

using namespace valtorimesca_abi;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "stateful_reference: %s failed\n", what);
  std::exit(1);
}

const uint8_t kMsg[] = {'m', 's', 'g'};
const uint8_t kCtx[] = {'c', 't', 'x'};

void print_suite(SuiteCode code) {
  std::vector<uint8_t> seed(32), blob(sizes(code).secret_key), pk(sizes(code).public_key);
  for (size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<uint8_t>(i);
  if (!stateful_suites::keygen_stateful_from_seed(code, seed, 4, blob, pk)) fail("keygen");
  auto handle = handle::open(code, blob);
  if (!handle) fail("open");
  vt_test::MemoryJournal journal{valtorimesca::stateful::KeyIdentity{handle::key_identity(*handle)}};
  std::printf("\"%d\": {\"blob\": \"%s\", \"pk\": \"%s\"", static_cast<int>(code), vt_test::to_hex(blob).c_str(),
              vt_test::to_hex(pk).c_str());
  std::vector<uint8_t> sig(signature_len(code));
  for (int i = 1; i <= 2; ++i) {
    auto n = handle::sign_stateful_with_handle(*handle, journal, kMsg, kCtx, sig);
    if (!n) fail("sign_stateful");
    std::printf(", \"stateful_%d\": \"%s\"", i, vt_test::to_hex(sig.data(), *n).c_str());
  }
  std::vector<uint8_t> after(sizes(code).secret_key);
  if (!handle::export_blob(*handle, after)) fail("export");
  vt_test::MemoryBudget budget;
  auto n = handle::sign_stateless_with_handle(*handle, budget, kMsg, kCtx, sig);
  if (!n) fail("sign_stateless");
  std::printf(", \"blob_after\": \"%s\", \"stateless\": \"%s\"}", vt_test::to_hex(after).c_str(),
              vt_test::to_hex(sig.data(), *n).c_str());
}

std::string engine_key_hex(const valtorimesca::shrincs::ShrincsSecretKey& key) {
  std::vector<uint8_t> out(valtorimesca::shrincs::kEngineKeyLen);
  if (!valtorimesca::shrincs::ShrincsScheme::export_secret_key(key, out)) fail("export_secret_key");
  return vt_test::to_hex(out);
}

void print_shrincs(int argc, char** argv) {
  using valtorimesca::shrincs::ShrincsScheme;
  if (argc != 5 && argc != 6) fail("reading the shrincs arguments");
  const std::vector<uint8_t> seed = vt_test::from_hex(argv[2]), msg = vt_test::from_hex(argv[4]);
  const auto capacity = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  std::vector<uint8_t> bundle(valtorimesca::shrincs::bundle::kBundleLen);
  auto key = ShrincsScheme::keygen_from_seed(seed, capacity, bundle);
  if (!key) fail("keygen_from_seed");
  std::printf("{\"bundle\": \"%s\", \"engine_key\": \"%s\", \"signatures\": [", vt_test::to_hex(bundle).c_str(),
              engine_key_hex(*key).c_str());
  for (uint32_t q = 1; q <= capacity; ++q) {
    std::vector<uint8_t> sig(valtorimesca::shrincs::stateful_sig_len(q));
    if (!ShrincsScheme::sign_stateful(*key, bundle, msg, sig)) fail("sign_stateful");
    std::printf("%s{\"signature\": \"%s\", \"engine_key_after\": \"%s\"}", q == 1 ? "" : ", ",
                vt_test::to_hex(sig).c_str(), engine_key_hex(*key).c_str());
  }
  std::printf("]");
  if (argc == 6) {
    std::vector<uint8_t> sig(valtorimesca::shrincs::kStatelessSigLen);
    if (!ShrincsScheme::sign_stateless(*key, valtorimesca::shrincs::action_for(vt_test::from_hex(argv[5])), sig))
      fail("sign_stateless");
    std::printf(", \"few_time\": \"%s\"", vt_test::to_hex(sig).c_str());
  }
  std::printf("}\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "shrincs") {
    print_shrincs(argc, argv);
    return 0;
  }
  std::printf("{");
  print_suite(SuiteCode::ED_SH);
  std::printf(", ");
  print_suite(SuiteCode::SR_SH);
  std::printf("}\n");
}
