#include "vectors.hpp"

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

namespace vt_test {

std::string vectors_dir() {
  const char* env = std::getenv("VALTORIMESCA_VECTORS");
  if (env != nullptr && env[0] != '\0') return env;
  const char* src = std::getenv("VT_SOURCE_DIR");
  if (src != nullptr && src[0] != '\0') return std::string(src) + "/tests/vectors";
  return VT_DEFAULT_VECTORS;
}

const json& load_vectors(const std::string& name) {
  static std::mutex mu;
  static std::map<std::string, json> cache;
  std::lock_guard<std::mutex> lock(mu);
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  const std::string path = vectors_dir() + "/" + name;
  std::ifstream in(path);
  if (!in)
    throw std::runtime_error("vector file " + name + " missing from " + vectors_dir() +
                             " (the folder $VALTORIMESCA_VECTORS names, else tests/vectors)");
  json j;
  try {
    in >> j;
  } catch (const std::exception& e) {
    throw std::runtime_error("vector file malformed: " + path + ": " + e.what());
  }
  return cache.emplace(name, std::move(j)).first->second;
}

const json& field(const json& obj, const std::string& key) {
  if (!obj.is_object() || !obj.contains(key)) throw std::runtime_error("vector field missing: " + key);
  return obj.at(key);
}

std::vector<uint8_t> hex_field(const json& obj, const std::string& key) {
  const json& v = field(obj, key);
  if (!v.is_string()) throw std::runtime_error("vector field is not a hex string: " + key);
  return from_hex(v.get<std::string>());
}

std::string string_field(const json& obj, const std::string& key) {
  const json& v = field(obj, key);
  if (!v.is_string()) throw std::runtime_error("vector field is not a string: " + key);
  return v.get<std::string>();
}

}  // namespace vt_test
