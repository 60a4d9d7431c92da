#include "engine/WaveformSynth.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace vex::sim {

namespace {

constexpr double kCodesPerScreen = 256.0;
constexpr long long kYReference = 128;

std::string Chan(int channel) {
  return "CHAN" + std::to_string(channel);
}

}  // namespace

std::string Preamble::Format() const {
  char buf[256];
  std::snprintf(buf, sizeof buf, "%d,%d,%lld,%d,%.10E,%.10E,%lld,%.10E,%.10E,%lld", format, type,
                points, count, x_increment, x_origin, x_reference, y_increment, y_origin,
                y_reference);
  return buf;
}

double WaveformSynth::SignalVolts(int channel, double t) {
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  switch (channel) {
    case 1:
      return 4.0 * std::sin(kTwoPi * 1e3 * t);
    case 2:
      return std::fmod(t * 1e3 - std::floor(t * 1e3), 1.0) < 0.5 ? 1.5 : -1.5;
    case 3: {
      const double phase = t * 500.0 - std::floor(t * 500.0);
      return phase < 0.5 ? -3.0 + 12.0 * phase : 9.0 - 12.0 * phase;
    }
    default:
      return 0.5 + std::sin(kTwoPi * 2e3 * t);
  }
}

double WaveformSynth::SignalMean(int channel) {
  return channel == 4 ? 0.5 : 0.0;
}

WaveformSynth::Coupling WaveformSynth::CouplingOf(int channel) const {
  const std::string coupling = settings_.Text(Chan(channel) + ":PROB:EC", "DC");
  return coupling == "GND" ? Coupling::kGround : coupling == "AC" ? Coupling::kAc : Coupling::kDc;
}

double WaveformSynth::CoupledVolts(int channel, Coupling coupling, double t) {
  if (coupling == Coupling::kGround) return 0.0;
  const double v = SignalVolts(channel, t);
  return coupling == Coupling::kAc ? v - SignalMean(channel) : v;
}

double WaveformSynth::ChannelVolts(int channel, double t) const {
  return CoupledVolts(channel, CouplingOf(channel), t);
}

long long WaveformSynth::Points(int channel) const {
  if (!settings_.Flag(Chan(channel) + ":DISP")) return 0;
  return static_cast<long long>(settings_.Number("WAV:POIN", 1000));
}

Preamble WaveformSynth::PreambleFor(int channel) const {
  Preamble p;
  const std::string format = settings_.Text("WAV:FORM", "BYTE");
  p.format = format == "WORD" ? 1 : format == "ASC" ? 4 : 0;
  p.points = Points(channel);
  const long long n = p.points > 0 ? p.points : 1;
  const double range = settings_.Number("TIM:RANG", 1e-3);
  const double delay = settings_.Number("TIM:DEL", 0.0);
  const std::string ref = settings_.Text("TIM:REF", "CENT");
  p.x_increment = range / static_cast<double>(n);
  p.x_reference = 0;
  p.x_origin = delay - (ref == "LEFT" ? 0.0 : ref == "RIGH" ? range : range / 2.0);
  p.y_increment = settings_.Number(Chan(channel) + ":RANG", 8.0) / kCodesPerScreen;
  p.y_origin = 0.0 - settings_.Number(Chan(channel) + ":OFFS", 0.0);  // never -0
  p.y_reference = kYReference;
  if (p.format == 1) {  // 16-bit codes: the byte code in the high byte
    p.y_increment /= 256.0;
    p.y_reference *= 256;
  }
  return p;
}

std::vector<uint8_t> WaveformSynth::Codes(int channel) const {
  return Codes(channel, Points(channel));
}

std::vector<uint8_t> WaveformSynth::Codes(int channel, long long n) const {
  if (Points(channel) == 0) n = 0;
  std::vector<uint8_t> codes(static_cast<std::size_t>(n));
  if (test_pattern_) {
    for (long long i = 0; i < n; ++i) codes[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    return codes;
  }
  Preamble p = PreambleFor(channel);
  const double y_increment = settings_.Number(Chan(channel) + ":RANG", 8.0) / kCodesPerScreen;
  const Coupling coupling = CouplingOf(channel);
  const double x_increment =
      n == p.points ? p.x_increment
                    : p.x_increment * static_cast<double>(p.points) / static_cast<double>(n);
  for (long long i = 0; i < n; ++i) {
    const double t = static_cast<double>(i - p.x_reference) * x_increment + p.x_origin;
    const double code = static_cast<double>(kYReference) -
                        (CoupledVolts(channel, coupling, t) + p.y_origin) / y_increment;
    codes[static_cast<std::size_t>(i)] =
        static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, code))));
  }
  return codes;
}

std::vector<uint8_t> WaveformSynth::Data(int channel) const {
  std::vector<uint8_t> codes = Codes(channel);
  const Preamble p = PreambleFor(channel);
  if (p.format == 0) return codes;
  std::vector<uint8_t> out;
  if (p.format == 1) {  // most significant byte first
    out.reserve(codes.size() * 2);
    for (uint8_t c : codes) {
      out.push_back(c);
      out.push_back(0);
    }
    return out;
  }
  const double y_increment = settings_.Number(Chan(channel) + ":RANG", 8.0) / kCodesPerScreen;
  char buf[32];
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const double volts = static_cast<double>(kYReference - codes[i]) * y_increment - p.y_origin;
    const int len = std::snprintf(buf, sizeof buf, i == 0 ? "%+.6E" : ",%+.6E", volts);
    out.insert(out.end(), buf, buf + len);
  }
  return out;
}

}  // namespace vex::sim
