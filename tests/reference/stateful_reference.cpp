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

#include "valtorimesca/budget.hpp"
#include "valtorimesca/stateful.hpp"
#include "valtorimesca_abi/handle.hpp"
#include "valtorimesca_abi/sizes.hpp"
#include "valtorimesca_abi/stateful_suites.hpp"

namespace {

using namespace valtorimesca_abi;

struct Journal {
  std::optional<valtorimesca::stateful::KeyIdentity> id;
  uint32_t next = 0;
  std::optional<valtorimesca::stateful::KeyIdentity> bound_key() { return id; }
  bool bind_key(const valtorimesca::stateful::KeyIdentity& k) {
    id = k;
    return true;
  }
  uint32_t next_leaf() { return next; }
  bool commit(uint32_t leaf) {
    next = leaf + 1;
    return true;
  }
};

struct Budget {
  std::map<std::array<uint8_t, valtorimesca::budget::kBudgetKeyLen>, uint64_t> counts;
  valtorimesca::budget::Consumed consumed(const valtorimesca::budget::BudgetKey& k) {
    auto it = counts.find(k.bytes);
    if (it == counts.end()) return valtorimesca::budget::Consumed::nothing_recorded();
    return valtorimesca::budget::Consumed::recorded(it->second);
  }
  bool record(const valtorimesca::budget::BudgetKey& k, uint64_t n) {
    counts[k.bytes] = n;
    return true;
  }
};

std::string hex(Bytes b) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t x : b) {
    out += digits[x >> 4];
    out += digits[x & 15];
  }
  return out;
}

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
  Journal journal{valtorimesca::stateful::KeyIdentity{handle::key_identity(*handle)}};
  std::printf("\"%d\": {\"blob\": \"%s\", \"pk\": \"%s\"", static_cast<int>(code), hex(blob).c_str(),
              hex(pk).c_str());
  std::vector<uint8_t> sig(signature_len(code));
  for (int i = 1; i <= 2; ++i) {
    auto n = handle::sign_stateful_with_handle(*handle, journal, kMsg, kCtx, sig);
    if (!n) fail("sign_stateful");
    std::printf(", \"stateful_%d\": \"%s\"", i, hex(Bytes(sig).first(*n)).c_str());
  }
  std::vector<uint8_t> after(sizes(code).secret_key);
  if (!handle::export_blob(*handle, after)) fail("export");
  Budget budget;
  auto n = handle::sign_stateless_with_handle(*handle, budget, kMsg, kCtx, sig);
  if (!n) fail("sign_stateless");
  std::printf(", \"blob_after\": \"%s\", \"stateless\": \"%s\"}", hex(after).c_str(),
              hex(Bytes(sig).first(*n)).c_str());
}

}  // namespace

int main() {
  std::printf("{");
  print_suite(SuiteCode::ED_SH);
  std::printf(", ");
  print_suite(SuiteCode::SR_SH);
  std::printf("}\n");
}
