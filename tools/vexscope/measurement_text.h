// A measurement as a person reads it on a scope's screen: four significant
// digits, an SI prefix and the measurement's unit ("1.000 kHz",
// "250.0 µs", "-2.371 mV", "50.00 %").
#pragma once

#include <string>

#include "vex/com/variant.h"

namespace vex::scope {

// The unit of a measurement of the `Measure` object by its name: "Hz" for
// Frequency, "%" for DutyCycle, "V" for the voltages, "s" for the times;
// empty for others.
std::string MeasurementUnit(const std::string& name);

// `value` in engineering notation with `unit`, from p to T. A percentage
// takes no prefix; below 1e-12 reads 0. Not a number, an infinity, or the instruments' "no value" mark
// (9.9E+37 and above) gives "n/a"; a value that is not a number at all is
// shown as it is.
std::string EngineeringText(double value, const std::string& unit);
std::string MeasurementText(const std::string& name, const com::Variant& value);

}  // namespace vex::scope
