// A stand-in for libFuzzer's driver: runs the target once on every file
// named on the command line (folders are walked). Built without the fuzzer
// runtime, so the ordinary test builds replay the seed corpora and the
// saved crash inputs through the targets' property checks.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

void run_file(const fs::path& p, size_t& count) {
  std::ifstream f(p, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  ++count;
}

}  // namespace

// With --expect-valid first, fails unless some input was valid.
int main(int argc, char** argv) {
  int first = 1;
  const bool expect_valid = argc > 1 && std::string_view(argv[1]) == "--expect-valid";
  if (expect_valid) first = 2;
  // libFuzzer starts with the empty input; so does this driver.
  LLVMFuzzerTestOneInput(nullptr, 0);
  size_t count = 1;
  for (int i = first; i < argc; ++i) {
    const fs::path arg(argv[i]);
    if (fs::is_directory(arg)) {
      for (const auto& e : fs::recursive_directory_iterator(arg))
        if (e.is_regular_file()) run_file(e.path(), count);
    } else if (fs::exists(arg)) {
      run_file(arg, count);
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 2;
    }
  }
  std::printf("replayed %zu inputs, %zu valid\n", count, fuzz::accepted_inputs);
  if (expect_valid && fuzz::accepted_inputs == 0) {
    std::fprintf(stderr, "no input was valid: the seeds no longer reach the deep checks\n");
    return 1;
  }
  return 0;
}
