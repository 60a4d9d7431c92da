#include "vex/com/numeric_text.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace vex::com {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads a number at the start of `text` (after an optional sign); the number
// of characters used, or 0 when none form a number.
std::size_t ReadDouble(std::string_view text, double* value) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  // from_chars does not take a sign of its own after ours, nor "inf"/"nan"
  // forms here: instrument replies hold plain decimal numbers.
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) return 0;
  if (pos < text.size() &&
      !(std::isdigit(static_cast<unsigned char>(text[pos])) || text[pos] == '.'))
    return 0;
  double parsed = 0.0;
  auto result = std::from_chars(text.data() + pos, text.data() + text.size(), parsed,
                                std::chars_format::general);
  if (result.ec == std::errc::invalid_argument) return 0;
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: infinity or zero with its sign.
    bool tiny = false;
    for (const char* p = text.data() + pos; p < result.ptr; ++p) {
      if (*p == 'e' || *p == 'E') tiny = p + 1 < result.ptr && p[1] == '-';
    }
    parsed = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  *value = negative ? -parsed : parsed;
  return static_cast<std::size_t>(result.ptr - text.data());
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<double> ParseDoubleStrict(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  double value = 0.0;
  std::size_t used = ReadDouble(text, &value);
  if (used == 0 || used != text.size()) return std::nullopt;
  return value;
}

double ParseDoubleLenient(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  double value = 0.0;
  return ReadDouble(text, &value) == 0 ? 0.0 : value;
}

std::int32_t ParseLongLenient(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{1} << 32) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace vex::com
