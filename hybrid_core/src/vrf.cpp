#include "valtorimesca/vrf.hpp"

#include <openssl/evp.h>

#include "fault/fault.hpp"

namespace valtorimesca::vrf {

namespace {
constexpr char kBindingLabel[] = "valtorimesca/hybrid-vrf/v1";  // with its zero byte: 27

void update(EVP_MD_CTX* ctx, const void* p, size_t n) {
  fault::check(EVP_DigestUpdate(ctx, p, n) == 1, "SHA-256 update failed");
}

void update_framed(EVP_MD_CTX* ctx, Bytes part) {
  uint8_t len[8];
  const uint64_t n = part.size();
  for (int i = 0; i < 8; ++i) len[i] = static_cast<uint8_t>(n >> (56 - 8 * i));
  update(ctx, len, sizeof len);
  update(ctx, part.data(), part.size());
}

struct MdCtx {
  EVP_MD_CTX* p = EVP_MD_CTX_new();
  ~MdCtx() { EVP_MD_CTX_free(p); }
};
}  // namespace

CoreResult<SplitKey> split_sk(Bytes sk, size_t expected, size_t classical_len) noexcept {
  if (sk.size() != expected) return fail(CoreError::bad_length(expected, sk.size()));
  return SplitKey{sk.first(classical_len), sk.subspan(classical_len)};
}

std::array<uint8_t, 32> binding_message(Bytes label, Bytes input, Bytes pre_output) {
  fault::check(pre_output.size() == kPreOutputLen, "pre-output must be 32 bytes");
  MdCtx ctx;
  fault::check(ctx.p != nullptr && EVP_DigestInit_ex(ctx.p, EVP_sha256(), nullptr) == 1,
               "SHA-256 init failed");
  update(ctx.p, kBindingLabel, sizeof kBindingLabel);
  update_framed(ctx.p, label);
  update_framed(ctx.p, input);
  update(ctx.p, pre_output.data(), pre_output.size());
  std::array<uint8_t, 32> out{};
  unsigned int n = 0;
  fault::check(EVP_DigestFinal_ex(ctx.p, out.data(), &n) == 1 && n == out.size(),
               "SHA-256 final failed");
  return out;
}

}  // namespace valtorimesca::vrf
