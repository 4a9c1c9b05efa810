// Loader for the known-answer vectors. The directory comes from
// VALTORIMESCA_VECTORS, else the repository's tests/vectors (the Python tests
// use the same rule, tests/python/conftest.py). A missing file or field fails
// the test (it throws), it never skips.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vt_test {

using json = nlohmann::json;

std::string vectors_dir();

// Parses <dir>/<name>; throws std::runtime_error when missing or malformed.
const json& load_vectors(const std::string& name);

// The member `key` of `obj`; throws when absent.
const json& field(const json& obj, const std::string& key);
// A hex string member decoded to bytes; throws when absent or not hex.
std::vector<uint8_t> hex_field(const json& obj, const std::string& key);
std::string string_field(const json& obj, const std::string& key);

std::vector<uint8_t> from_hex(const std::string& hex);
std::string to_hex(const uint8_t* p, size_t n);
inline std::string to_hex(const std::vector<uint8_t>& v) { return to_hex(v.data(), v.size()); }
template <class C>
std::string to_hex_c(const C& c) {
  return to_hex(reinterpret_cast<const uint8_t*>(c.data()), c.size());
}

// Deterministic test bytes: SHA-256-free simple generator (splitmix64).
std::vector<uint8_t> pseudo_random_bytes(uint64_t seed, size_t n);

}  // namespace vt_test
