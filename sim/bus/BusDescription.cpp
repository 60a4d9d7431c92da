// Reading the description of a simulated bus ("7=VDS3004A,9=VDS3002A").
#include <cstdlib>

#include "bus/SimBus.h"

namespace vex::sim::bus {

namespace {

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

bool ParseBusDescription(std::string_view description, std::map<int, std::string>& out,
                         std::string& error) {
  out.clear();
  while (true) {
    const auto comma = description.find(',');
    const std::string item = Trim(description.substr(0, comma));
    const auto equals = item.find('=');
    if (item.empty() || equals == std::string::npos) {
      error = "expected address=model, found \"" + item + "\"";
      return false;
    }
    const std::string address = Trim(std::string_view(item).substr(0, equals));
    const std::string model = Trim(std::string_view(item).substr(equals + 1));
    char* end = nullptr;
    const long a = std::strtol(address.c_str(), &end, 10);
    if (address.empty() || *end != '\0' || a < 0 || a > kMaxAddress) {
      error = "address \"" + address + "\" is not 0 to " + std::to_string(kMaxAddress);
      return false;
    }
    if (model.empty()) {
      error = "no model for address " + address;
      return false;
    }
    if (!out.emplace(static_cast<int>(a), model).second) {
      error = "address " + address + " is given twice";
      return false;
    }
    if (comma == std::string_view::npos) return true;
    description.remove_prefix(comma + 1);
  }
}

}  // namespace vex::sim::bus
