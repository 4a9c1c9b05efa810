// The hash engine's few-time signatures (see engine_signature.hpp).
#include "engine_signature.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::engine_signature_target<fuzz::StatelessPath>(data, size);
}
