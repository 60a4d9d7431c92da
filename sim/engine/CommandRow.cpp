#include "engine/CommandRow.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/ErrorQueue.h"
#include "engine/HeaderPattern.h"

namespace vex::sim {

bool ParseNumber(std::string_view text, double& out) {
  std::string s(text);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(s.begin());
  if (s.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str()) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' || !std::isfinite(v)) return false;
  // strtod also reads "inf", "nan" and hexadecimal floats, which SCPI does not.
  for (char c : s) {
    if (c == 'x' || c == 'X' || c == 'n' || c == 'N' || c == 'i' || c == 'I') return false;
  }
  out = v;
  return true;
}

std::variant<Settings::Value, int> ParsePropertyValue(const CommandRow& row, const Argument& arg) {
  if (arg.kind == Argument::Kind::kBlock) return error::kDataType;
  const std::string& t = arg.text;
  switch (row.kind) {
    case PropertyKind::kBool: {
      if (HeaderPattern::MatchWord("ON", t) || t == "1") return Settings::Value{true};
      if (HeaderPattern::MatchWord("OFF", t) || t == "0") return Settings::Value{false};
      double v = 0.0;
      if (ParseNumber(t, v)) return Settings::Value{std::lround(v) != 0};
      return error::kIllegalParameterValue;
    }
    case PropertyKind::kChoice:
      for (std::string_view choice : row.choices) {
        if (HeaderPattern::MatchWord(choice, t)) {
          return Settings::Value{HeaderPattern(choice).Key(1)};
        }
      }
      return error::kIllegalParameterValue;
    case PropertyKind::kInteger:
    case PropertyKind::kReal: {
      double v = 0.0;
      if (HeaderPattern::MatchWord("MAXimum", t)) {
        v = row.max;
      } else if (HeaderPattern::MatchWord("MINimum", t)) {
        v = row.min;
      } else if (!ParseNumber(t, v)) {
        return error::kDataType;
      }
      if (v < row.min || v > row.max) {
        if (!row.clip) return error::kDataOutOfRange;
        v = v < row.min ? row.min : row.max;
      }
      if (row.kind == PropertyKind::kInteger) return Settings::Value{std::llround(v)};
      return Settings::Value{v};
    }
    case PropertyKind::kNone:
      break;
  }
  return error::kParameterNotAllowed;
}

std::string FormatPropertyValue(const CommandRow& row, const Settings::Value& value) {
  char buf[64];
  switch (row.kind) {
    case PropertyKind::kBool:
      return std::get<bool>(value) ? "1" : "0";
    case PropertyKind::kChoice:
      return std::get<std::string>(value);
    case PropertyKind::kInteger:
      std::snprintf(buf, sizeof buf, "%lld", std::get<long long>(value));
      return buf;
    case PropertyKind::kReal:
      std::snprintf(buf, sizeof buf, "%+.6E", std::get<double>(value));
      return buf;
    case PropertyKind::kNone:
      break;
  }
  return {};
}

}  // namespace vex::sim
