// The instrument's settings: every property row's value by key.
#pragma once

#include <map>
#include <string>
#include <variant>

namespace vex::sim {

// Keys are the short-form headers with suffixes written in ("CHAN1:DISP",
// "WAV:FORM"). Values keep the type of their row: on/off, integer, real, or
// an enumerated mnemonic in its short form.
class Settings {
 public:
  using Value = std::variant<bool, long long, double, std::string>;

  void Set(const std::string& key, Value value) { values_[key] = std::move(value); }
  bool Has(const std::string& key) const { return values_.count(key) != 0; }
  const Value* Find(const std::string& key) const;

  // Typed reads for handlers; a missing key or another type gives the
  // fallback, so a handler never fails on a row added later.
  bool Flag(const std::string& key, bool fallback = false) const;
  double Number(const std::string& key, double fallback = 0.0) const;
  std::string Text(const std::string& key, const std::string& fallback = {}) const;

  const std::map<std::string, Value>& All() const { return values_; }
  bool operator==(const Settings&) const = default;

 private:
  std::map<std::string, Value> values_;
};

}  // namespace vex::sim
