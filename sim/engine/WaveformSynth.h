// Synthetic waveform records consistent with the channel and timebase
// settings, and the preamble that describes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Settings.h"

namespace vex::sim {

// The ten preamble fields in the order ":WAVeform:PREamble?" answers them.
struct Preamble {
  int format = 0;  // 0 BYTE, 1 WORD, 4 ASCii
  int type = 0;    // 0 normal acquisition
  long long points = 0;
  int count = 1;
  double x_increment = 0.0;
  double x_origin = 0.0;
  long long x_reference = 0;
  double y_increment = 0.0;
  double y_origin = 0.0;
  long long y_reference = 0;

  std::string Format() const;
};

// What each channel's input carries, in volts:
//   CHAN1  1 kHz sine, 4 V amplitude: with the default 8 V range and 1000
//          points over 1 ms it sweeps every code 0..255 (each step between
//          points is under one code), so the default record holds every byte
//          value, line feed included;
//   CHAN2  1 kHz square, +-1.5 V;
//   CHAN3  500 Hz triangle, +-3 V;
//   CHAN4  2 kHz sine, 1 V amplitude on a 0.5 V level.
//
// Codes follow the host's scaling: volts = (y_reference - code) * y_increment
// - y_origin, so higher voltages give lower codes (codes count down from the
// top of the screen). The screen spans the channel range over 256 codes with
// y_reference 128 at the channel offset; voltages off screen clip to 0/255.
//
// In test-pattern mode every channel's code at point i is i mod 256, with the
// same preamble, so a transfer can be checked byte for byte.
class WaveformSynth {
 public:
  WaveformSynth(const Settings& settings, bool test_pattern)
      : settings_(settings), test_pattern_(test_pattern) {}

  // Points in the record of `channel`: 0 when the channel is off.
  long long Points(int channel) const;
  Preamble PreambleFor(int channel) const;
  // One code per point.
  std::vector<uint8_t> Codes(int channel) const;
  // `points` codes spread over the same time span as the record (the screen),
  // for drawing the trace at another resolution.
  std::vector<uint8_t> Codes(int channel, long long points) const;
  // The data block contents in the current ":WAVeform:FORMat".
  std::vector<uint8_t> Data(int channel) const;

  // What the input carries at time t.
  static double SignalVolts(int channel, double t);
  // What the channel shows at time t after its input coupling: DC passes
  // the signal, AC removes its mean level, GND shows 0 V.
  double ChannelVolts(int channel, double t) const;
  // The mean level of a channel's input signal (what AC coupling removes).
  static double SignalMean(int channel);

  enum class Coupling { kDc, kAc, kGround };
  Coupling CouplingOf(int channel) const;
  static double CoupledVolts(int channel, Coupling coupling, double t);

 private:
  const Settings& settings_;
  bool test_pattern_;
};

}  // namespace vex::sim
