#include "keyed_hmac.hpp"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "fault/fault.hpp"

namespace valtorimesca::detail {
namespace {

EVP_MAC* hmac_algorithm() {
  static EVP_MAC* const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  fault::check(mac != nullptr, "libcrypto has no HMAC");
  return mac;
}

}  // namespace

KeyedHmac::KeyedHmac(Hash hash, std::span<const uint8_t> key)
    : size_(hash == Hash::Sha256 ? 32 : 64) {
  ctx_ = EVP_MAC_CTX_new(hmac_algorithm());
  fault::check(ctx_ != nullptr, "HMAC context allocation failed");
  char* name = const_cast<char*>(hash == Hash::Sha256 ? "SHA256" : "SHA512");
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, name, 0),
      OSSL_PARAM_construct_end(),
  };
  // A zero-length key still needs a non-null pointer to be taken as a key.
  static const uint8_t kEmpty = 0;
  const uint8_t* k = key.empty() ? &kEmpty : key.data();
  if (EVP_MAC_init(ctx_, k, key.size(), params) != 1) {
    EVP_MAC_CTX_free(ctx_);
    fault::raise("HMAC keying failed");
  }
}

// libcrypto cleanses the key and the hash states when the context is freed.
KeyedHmac::~KeyedHmac() { EVP_MAC_CTX_free(ctx_); }

void KeyedHmac::restart() { fault::check(EVP_MAC_init(ctx_, nullptr, 0, nullptr) == 1, "HMAC restart failed"); }

void KeyedHmac::update(std::span<const uint8_t> data) {
  if (data.empty()) return;
  fault::check(EVP_MAC_update(ctx_, data.data(), data.size()) == 1, "HMAC update failed");
}

void KeyedHmac::finish(std::span<uint8_t> out) {
  fault::check(out.size() == size_, "HMAC output of the wrong size");
  size_t written = 0;
  fault::check(EVP_MAC_final(ctx_, out.data(), &written, out.size()) == 1 && written == size_,
               "HMAC finalisation failed");
}

}  // namespace valtorimesca::detail
