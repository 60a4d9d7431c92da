// Scaling of waveform records: sample codes to volts and point indexes to
// seconds, with the instrument's preamble.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "vex/com/com.h"

namespace vex::server {

// The preamble values that scale a record.
struct WaveformScale {
  double x_increment = 0;  // seconds between two points
  double x_origin = 0;     // time of the reference point
  std::int32_t x_reference = 0;
  double y_increment = 0;  // volts per code
  double y_origin = 0;
  std::int32_t y_reference = 0;
};

// Volts of a code: (y reference − code) × y increment − y origin, the
// difference formed as an integer. This instrument counts codes downwards
// from the reference and subtracts the origin.
inline double VoltsOfCode(const WaveformScale& s, std::uint8_t code) {
  return static_cast<double>(static_cast<std::int64_t>(s.y_reference) - code) * s.y_increment -
         s.y_origin;
}

// Seconds of point i: (i − x reference) × x increment + x origin.
inline double TimeOfPoint(std::int32_t x_reference, double x_increment, double x_origin,
                          std::int64_t i) {
  return static_cast<double>(i - x_reference) * x_increment + x_origin;
}

// The volts of all 256 codes: samples are bytes, so one look-up per sample
// gives exactly what VoltsOfCode would (the combined table converts each
// sample into a cell of its own and uses it).
std::array<double, 256> VoltsTable(const WaveformScale& scale);

// Fills out[i] with TimeOfPoint(i) for every element.
void ScaleTimes(std::int32_t x_reference, double x_increment, double x_origin,
                std::span<double> out);

// The two result arrays of a record: times and volts, one-dimensional arrays
// of doubles with lower bound 0 and one element per sample, each element
// exactly TimeOfPoint and VoltsOfCode. The arrays are filled in vector
// registers (the widest the processor has) a cache-sized block at a time.
com::HRESULT ScaleWaveform(std::span<const std::uint8_t> samples, const WaveformScale& scale,
                           com::SafeArray* time, com::SafeArray* volts);

}  // namespace vex::server
