// FN-DSA-512: verifying-key and signing-key decoding, and verification.
//
// Input: mode byte, key field, context field, message field, signature (the
// rest). Mode bit 0 set reads the key field as a signing key instead.
#include "fndsa/fndsa.hpp"

#include <algorithm>
#include <array>

#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.byte();
  const auto key = in.field();
  const auto ctx = in.field();
  const auto msg = in.field();
  const auto sig = in.rest();
  const uint32_t where = fuzz::mix(data, size);

  if (mode & 1) {
    // Whatever decodes as a signing key must sign, and its signatures must
    // verify under the verifying key it gives.
    fndsa::SigningKey sk;
    if (!sk.decode(key)) return 0;
    fuzz::note_accepted();
    std::array<uint8_t, fndsa::kVerifyingKeyLen> vk{};
    sk.to_verifying_key(vk.data());
    std::array<uint8_t, fndsa::kSignSeedLen> seed{};
    std::array<uint8_t, fndsa::kSignatureLen> out{};
    const auto st = sk.sign_with_seed(msg, ctx, seed.data(), out.data());
    if (ctx.size() > fndsa::kMaxContextLen) {
      fuzz::require(st == fndsa::SignStatus::BadContext, "long context signed");
      return 0;
    }
    fuzz::require(st == fndsa::SignStatus::Ok, "decoded signing key failed to sign");
    // The key's last 64 bytes are taken as the hash of its verifying key
    // without a check; only a key whose hash is right signs for that key.
    uint8_t hashed[fndsa::kHashedKeyLen];
    fndsa::hash_verifying_key(vk, hashed);
    if (!std::equal(hashed, hashed + sizeof hashed, key.end() - fndsa::kHashedKeyLen)) return 0;
    fuzz::require(fndsa::verify(vk, msg, ctx, out), "own signature refused");
    fuzz::require(!fndsa::verify(vk, msg, ctx, fuzz::flip_bit(out, where)), "mutated own signature accepted");
    return 0;
  }

  fndsa::VerifyingKey vk;
  const bool decoded = vk.decode(key);
  const bool ok = decoded && vk.verify(msg, ctx, sig);
  fuzz::require(ok == fndsa::verify(key, msg, ctx, sig), "one-shot and decoded-key verdicts differ");
  if (!ok) return 0;
  fuzz::note_accepted();
  fuzz::require(key.size() == fndsa::kVerifyingKeyLen && sig.size() == fndsa::kSignatureLen &&
                    ctx.size() <= fndsa::kMaxContextLen,
                "accepted with a wrong length");
  fuzz::require(!vk.verify(msg, ctx, fuzz::flip_bit(sig, where)), "mutated signature accepted");
  if (!msg.empty()) fuzz::require(!vk.verify(fuzz::flip_bit(msg, where), ctx, sig), "mutated message accepted");
  if (!ctx.empty()) fuzz::require(!vk.verify(msg, fuzz::flip_bit(ctx, where), sig), "mutated context accepted");
  fuzz::require(!fndsa::verify(fuzz::flip_bit(key, where), msg, ctx, sig), "mutated key accepted");
  return 0;
}
