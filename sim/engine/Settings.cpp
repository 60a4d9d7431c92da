#include "engine/Settings.h"

namespace vex::sim {

const Settings::Value* Settings::Find(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

bool Settings::Flag(const std::string& key, bool fallback) const {
  const Value* v = Find(key);
  if (v == nullptr) return fallback;
  if (const bool* b = std::get_if<bool>(v)) return *b;
  return fallback;
}

double Settings::Number(const std::string& key, double fallback) const {
  const Value* v = Find(key);
  if (v == nullptr) return fallback;
  if (const double* d = std::get_if<double>(v)) return *d;
  if (const long long* i = std::get_if<long long>(v)) return static_cast<double>(*i);
  return fallback;
}

std::string Settings::Text(const std::string& key, const std::string& fallback) const {
  const Value* v = Find(key);
  if (v == nullptr) return fallback;
  if (const std::string* s = std::get_if<std::string>(v)) return *s;
  return fallback;
}

}  // namespace vex::sim
