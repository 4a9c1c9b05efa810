// One SHRINCS key and one few-time signature shared by the engine tests
// (the few-time signature is the costly part, so it is made once).
#pragma once

#include <string>

#include "hash_engine/shrincs/dispatch.hpp"
#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"

namespace fixture {

hash::Digest seed(const char* s, uint32_t i = 0);

// Key of capacity 3 from fixed seeds.
shrincs::key::Keys small_keys(uint32_t capacity = 3, uint32_t tag = 0);
shrincs::ShrincsAction action(uint32_t i);

struct Signed {
  shrincs::key::Keys keys;
  sphincs_plus_c::key::Key key;  // keys.stateless
  shrincs::ShrincsAction action;
  hash::Digest msg;  // the stateless action message hash
  sphincs_plus_c::signature::Signature sig;
  std::string trace;  // what signing wrote with the trace off
};

const Signed& signed_once();

}  // namespace fixture
