// Automatic measurements on a channel's synthetic waveform.
#pragma once

#include "engine/Settings.h"
#include "engine/WaveformSynth.h"

namespace vex::sim {

enum class Measurement {
  kFrequency,
  kPeriod,
  kPositiveWidth,
  kNegativeWidth,
  kRiseTime,
  kFallTime,
  kDutyCycle,  // percent
  kRms,
  kMax,
  kMin,
  kAverage,
  kPeakToPeak,
  kAmplitude,
  kPreshoot,   // percent of the amplitude
  kOvershoot,  // percent of the amplitude
};

// What the instrument answers when a measurement cannot be made (no edge
// in the record, a channel that is off).
inline constexpr double kInvalidMeasurement = 9.9e37;

// Measures `channel` as the instrument does: over an acquisition memory ten
// screens long centred on the screen, sampled 100,000 times, with the input
// clipped to the screen's voltage span (a signal off screen measures as its
// clipped trace). Levels: top and base are the most frequent voltages in
// the upper and lower half when they hold a flat part of the signal (a fifth
// of the samples or more), the extremes otherwise; edges are timed where the
// signal crosses 10 %, 50 % and 90 % between base and top, interpolated
// between samples.
double Measure(const WaveformSynth& synth, const Settings& settings, int channel, Measurement m);

}  // namespace vex::sim
