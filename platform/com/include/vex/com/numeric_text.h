// Numbers as text, independent of the process locale: "." is the decimal
// point whatever LC_NUMERIC says. The runtime never calls setlocale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vex::com {

// The shortest text that reads back as the same double ("0.001", "5000",
// "1e-09"); "nan", "inf" and "-inf" for the special values.
std::string FormatDouble(double value);

// Strict: the whole text, less surrounding blanks, tabs, CR and LF, is one
// decimal number with an optional sign, "." and an optional exponent.
std::optional<double> ParseDoubleStrict(std::string_view text);

// Lenient, like wcstod: leading white space skipped, parsing stops at the first
// character that cannot continue a number; no number gives 0.0.
double ParseDoubleLenient(std::string_view text);

// Lenient, like strtol in base 10: leading white space and a sign, then the
// digits; no digits gives 0; values beyond 32 bits saturate.
std::int32_t ParseLongLenient(std::string_view text);

// Text with the surrounding blanks, tabs, carriage returns and line feeds removed.
std::string_view TrimBlanks(std::string_view text);

// ASCII case-insensitive equality.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace vex::com
