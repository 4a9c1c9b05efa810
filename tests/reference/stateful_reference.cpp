// Prints, as one JSON object keyed by suite code, what the suite ABI makes for
// the ED_SH and SR_SH keys of seed 0x00 0x01 ... 0x1f with 4 leaves: the
// export blob and public key, the first two stateful signatures of "msg" under
// "ctx" with the blob after them, and one few-time signature. Every one of
// them is deterministic.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "memory_stores.hpp"
#include "vectors.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

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

}  // namespace

int main() {
  std::printf("{");
  print_suite(SuiteCode::ED_SH);
  std::printf(", ");
  print_suite(SuiteCode::SR_SH);
  std::printf("}\n");
}
