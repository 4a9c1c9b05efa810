#include "fixture.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "hash_engine/shrincs/signer.hpp"

namespace fixture {

using hash::Part;

hash::Digest seed(const char* s, uint32_t i) {
  return hash::ops::keccak_packed({Part(std::string_view(s)), Part(hash::be32(i))});
}

shrincs::key::Keys small_keys(uint32_t capacity, uint32_t tag) {
  return *shrincs::key::Keys::generate(hash::SecretSeed(seed("spx-sk", tag)), hash::SecretSeed(seed("spx-prf", tag)),
                                       seed("spx-pk", tag), hash::SecretSeed(seed("ux-sk", tag)),
                                       hash::SecretSeed(seed("ux-prf", tag)), seed("ux-pk", tag), capacity);
}

shrincs::ShrincsAction action(uint32_t i) {
  shrincs::ShrincsAction a;
  a.words[0] = seed("word a");
  a.words[3] = seed("word b");
  a.words[4] = seed("message digest", i);
  return a;
}

const Signed& signed_once() {
  static Signed* s = [] {
    auto* v = new Signed{small_keys(), {}, action(0), {}, {}, {}};
    v->key = v->keys.stateless;
    v->msg = shrincs::dispatch::action_message_hash(shrincs::dispatch::Path::Stateless, v->keys.commitment, v->action);
    unsetenv("SHRINCS_TRACE_STATELESS");
    unsetenv("SHRINCS_TRACE_COUNTER_EVERY");
    testing::internal::CaptureStdout();
    auto sig = shrincs::signer::ShrincsSigner::sign_stateless_raw(v->key, v->msg);
    v->trace = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(sig);
    if (sig) v->sig = *sig;
    return v;
  }();
  return *s;
}

}  // namespace fixture
