// One row of the command table, and the factories that keep rows short.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "engine/ProgramParser.h"
#include "engine/Settings.h"

namespace vex::sim {

class CommandContext;
using Handler = void (*)(CommandContext&);

enum class PropertyKind { kNone, kBool, kChoice, kInteger, kReal };

// Numeric suffix limit meaning "the model's analog channel count".
inline constexpr int kChannels = -1;

// A command is a header pattern plus either a stored property (its type says
// how arguments are parsed and replies formatted) or handlers, or both: a
// property's `set` handler runs after the new value is stored.
struct CommandRow {
  std::string_view header;  // ":WAVeform:FORMat", "*IDN", ":CHANnel#:DISPlay"
  PropertyKind kind = PropertyKind::kNone;
  std::span<const std::string_view> choices{};  // kChoice mnemonics, long/short notation
  double min = 0.0;                             // kInteger, kReal
  double max = 0.0;
  bool clip = false;             // out-of-range numbers are clipped, not refused
  std::string_view initial{};    // the value after *RST, written as an argument
  std::string_view initial_1{};  // a different value for suffix 1, when not empty
  Handler set = nullptr;         // command form
  Handler query = nullptr;       // query form (a property answers by itself)
  int suffixes = 1;              // highest numeric suffix, or kChannels
  bool simulator = false;        // private: exempt from faults, not part of saved states
};

namespace row {

constexpr CommandRow Bool(std::string_view header, std::string_view initial, int suffixes = 1,
                          std::string_view initial_1 = {}) {
  return {.header = header,
          .kind = PropertyKind::kBool,
          .initial = initial,
          .initial_1 = initial_1,
          .suffixes = suffixes};
}
constexpr CommandRow Choice(std::string_view header, std::span<const std::string_view> choices,
                            std::string_view initial, int suffixes = 1) {
  return {.header = header,
          .kind = PropertyKind::kChoice,
          .choices = choices,
          .initial = initial,
          .suffixes = suffixes};
}
constexpr CommandRow Real(std::string_view header, double min, double max, std::string_view initial,
                          bool clip = false, int suffixes = 1) {
  return {.header = header,
          .kind = PropertyKind::kReal,
          .min = min,
          .max = max,
          .clip = clip,
          .initial = initial,
          .suffixes = suffixes};
}
constexpr CommandRow Integer(std::string_view header, double min, double max,
                             std::string_view initial, bool clip = false, int suffixes = 1) {
  return {.header = header,
          .kind = PropertyKind::kInteger,
          .min = min,
          .max = max,
          .clip = clip,
          .initial = initial,
          .suffixes = suffixes};
}
constexpr CommandRow Action(std::string_view header, Handler set, Handler query = nullptr) {
  return {.header = header, .set = set, .query = query};
}
constexpr CommandRow Query(std::string_view header, Handler query) {
  return {.header = header, .query = query};
}
// A property whose command form needs its own checks or argument layout;
// the handler stores the value with CommandContext::StoreArg.
constexpr CommandRow WithHandlers(CommandRow r, Handler set, Handler query = nullptr) {
  r.set = set;
  r.query = query;
  return r;
}
// A private simulator command: never faulted, never saved.
constexpr CommandRow Private(CommandRow r) {
  r.simulator = true;
  return r;
}

}  // namespace row

// Converts an argument to a property value; an error number on failure.
std::variant<Settings::Value, int> ParsePropertyValue(const CommandRow& row, const Argument& arg);
// The reply text of a stored value: "1"/"0", "+8.000000E+00", "BYTE", "1000".
std::string FormatPropertyValue(const CommandRow& row, const Settings::Value& value);

// Parses a decimal number in SCPI notation ("1e6", "+1.000E-03", " 5 ").
bool ParseNumber(std::string_view text, double& out);

}  // namespace vex::sim
