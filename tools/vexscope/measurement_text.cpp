#include "measurement_text.h"

#include <cmath>
#include <cstdio>

#include "result_printer.h"

namespace vex::scope {
namespace {

// The instruments answer 9.9E+37 when a measurement has no value (a channel
// off, a record without an edge).
constexpr double kNoValue = 9.9e37;

struct Prefix {
  int exponent;
  const char* text;
};
constexpr Prefix kPrefixes[] = {{-12, "p"}, {-9, "n"}, {-6, "µ"}, {-3, "m"}, {0, ""},
                                {3, "k"},   {6, "M"},  {9, "G"},  {12, "T"}};
// Below a picounit a scope's measurement is rounding noise (the mean of a
// symmetric wave computes to 1e-16 V): it reads 0.
constexpr double kSmallest = 1e-12;

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Four significant digits of a value between 1 and 1000 (after rounding it
// may reach 1000, which the caller moves to the next prefix).
std::string FourDigits(double scaled) {
  const double magnitude = std::fabs(scaled);
  const int decimals = magnitude >= 100 ? 1 : magnitude >= 10 ? 2 : 3;
  return Fixed(scaled, decimals);
}

}  // namespace

std::string MeasurementUnit(const std::string& name) {
  if (name == "Frequency") return "Hz";
  if (name == "DutyCycle") return "%";
  if (name.find("Volt") != std::string::npos) return "V";
  if (name == "Period" || name.ends_with("Time") || name.ends_with("Width")) return "s";
  return {};
}

std::string EngineeringText(double value, const std::string& unit) {
  if (!std::isfinite(value) || std::fabs(value) >= kNoValue) return "n/a";
  const std::string space_unit = unit.empty() ? std::string() : " " + unit;
  if (unit == "%") return Fixed(value, 2) + space_unit;
  if (std::fabs(value) < kSmallest) return "0" + space_unit;
  const double magnitude = std::fabs(value);
  int index = 0;
  for (int i = 0; i < static_cast<int>(std::size(kPrefixes)); ++i)
    if (magnitude >= std::pow(10.0, kPrefixes[i].exponent)) index = i;
  for (;;) {
    const double scaled = value / std::pow(10.0, kPrefixes[index].exponent);
    std::string digits = FourDigits(scaled);
    const bool overflowed = std::fabs(std::stod(digits)) >= 1000;
    if (!overflowed || index + 1 >= static_cast<int>(std::size(kPrefixes)))
      return digits + " " + kPrefixes[index].text + unit;
    ++index;
  }
}

std::string MeasurementText(const std::string& name, const com::Variant& value) {
  double number = 0;
  com::Variant copy = value;
  if (copy.vt() == com::VT_EMPTY || com::FAILED(copy.ToR8(&number))) return ScalarText(value);
  return EngineeringText(number, MeasurementUnit(name));
}

}  // namespace vex::scope
