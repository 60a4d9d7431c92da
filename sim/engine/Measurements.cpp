#include "engine/Measurements.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace vex::sim {

namespace {

constexpr int kSamples = 100'000;
constexpr double kScreensPerRecord = 10.0;
constexpr int kBins = 256;
constexpr double kFlatShare = 0.2;

struct Record {
  std::vector<double> v;
  double t0 = 0.0;
  double dt = 0.0;
  double Time(double index) const { return t0 + index * dt; }
};

// Index (fractional) where the signal crosses `level` between samples i-1 and i.
double Cross(const Record& r, std::size_t i, double level) {
  const double a = r.v[i - 1];
  const double b = r.v[i];
  return static_cast<double>(i - 1) + (b == a ? 0.5 : (level - a) / (b - a));
}

struct Levels {
  double min = 0.0, max = 0.0, top = 0.0, base = 0.0;
  double Amplitude() const { return top - base; }
};

Levels FindLevels(const Record& r) {
  Levels l;
  const auto [lo, hi] = std::minmax_element(r.v.begin(), r.v.end());
  l.min = *lo;
  l.max = *hi;
  l.top = l.max;
  l.base = l.min;
  if (l.max <= l.min) return l;
  std::array<int, kBins> bins{};
  const double width = (l.max - l.min) / kBins;
  for (double v : r.v) {
    bins[std::min(kBins - 1, static_cast<int>((v - l.min) / width))]++;
  }
  const auto upper = std::max_element(bins.begin() + kBins / 2, bins.end());
  const auto lower = std::max_element(bins.begin(), bins.begin() + kBins / 2);
  const double flat = kFlatShare * static_cast<double>(r.v.size());
  if (*upper >= flat) l.top = l.min + (static_cast<double>(upper - bins.begin()) + 0.5) * width;
  if (*lower >= flat) l.base = l.min + (static_cast<double>(lower - bins.begin()) + 0.5) * width;
  // A flat part sits on the extreme itself when nothing overshoots it.
  if (*upper >= flat && std::fabs(l.max - l.top) <= width) l.top = l.max;
  if (*lower >= flat && std::fabs(l.base - l.min) <= width) l.base = l.min;
  return l;
}

struct Edge {
  double mid;    // fractional index of the 50 % crossing
  double start;  // of the 10 % (rising) or 90 % (falling) crossing
  double end;    // of the 90 % (rising) or 10 % (falling) crossing
  bool rising;
};

// Edges at the 50 % crossings, with their 10 % and 90 % crossings searched
// only as far as the neighbouring 50 % crossings, so that a noisy record
// costs no more than a clean one.
std::vector<Edge> FindEdges(const Record& r, const Levels& l) {
  std::vector<Edge> edges;
  const double amp = l.Amplitude();
  if (amp <= 0.0) return edges;
  const double low = l.base + 0.1 * amp;
  const double mid = l.base + 0.5 * amp;
  const double high = l.base + 0.9 * amp;
  std::vector<std::size_t> at;  // sample index after each 50 % crossing
  for (std::size_t i = 1; i < r.v.size(); ++i) {
    const bool up = r.v[i - 1] < mid && r.v[i] >= mid;
    const bool down = r.v[i - 1] >= mid && r.v[i] < mid;
    if (up || down) {
      at.push_back(i);
      edges.push_back({Cross(r, i, mid), -1, -1, up});
    }
  }
  for (std::size_t k = 0; k < edges.size(); ++k) {
    Edge& e = edges[k];
    const bool up = e.rising;
    const double before = up ? low : high;
    const double after = up ? high : low;
    const std::size_t first = k == 0 ? 1 : at[k - 1];
    const std::size_t last = k + 1 == edges.size() ? r.v.size() - 1 : at[k + 1];
    for (std::size_t j = at[k]; j >= first; --j) {
      if ((up && r.v[j - 1] < before && r.v[j] >= before) ||
          (!up && r.v[j - 1] > before && r.v[j] <= before)) {
        e.start = Cross(r, j, before);
        break;
      }
    }
    for (std::size_t j = at[k]; j <= last; ++j) {
      if ((up && r.v[j - 1] < after && r.v[j] >= after) ||
          (!up && r.v[j - 1] > after && r.v[j] <= after)) {
        e.end = Cross(r, j, after);
        break;
      }
    }
  }
  return edges;
}

double Period(const Record& r, const std::vector<Edge>& edges) {
  std::vector<double> rises;
  for (const Edge& e : edges) {
    if (e.rising) rises.push_back(e.mid);
  }
  if (rises.size() < 2) return kInvalidMeasurement;
  return (rises.back() - rises.front()) / static_cast<double>(rises.size() - 1) * r.dt;
}

// Mean time from an edge of one direction to the next edge.
double Width(const Record& r, const std::vector<Edge>& edges, bool from_rising) {
  double sum = 0.0;
  int count = 0;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    if (edges[i].rising == from_rising && edges[i + 1].rising != from_rising) {
      sum += edges[i + 1].mid - edges[i].mid;
      ++count;
    }
  }
  return count == 0 ? kInvalidMeasurement : sum / count * r.dt;
}

double Transition(const Record& r, const std::vector<Edge>& edges, bool rising) {
  double sum = 0.0;
  int count = 0;
  for (const Edge& e : edges) {
    if (e.rising != rising || e.start < 0 || e.end < 0) continue;
    sum += e.end - e.start;
    ++count;
  }
  return count == 0 ? kInvalidMeasurement : sum / count * r.dt;
}

}  // namespace

double Measure(const WaveformSynth& synth, const Settings& settings, int channel, Measurement m) {
  if (synth.Points(channel) == 0) return kInvalidMeasurement;
  const std::string chan = "CHAN" + std::to_string(channel);
  const double range = settings.Number(chan + ":RANG", 8.0);
  const double offset = settings.Number(chan + ":OFFS", 0.0);
  const Preamble p = synth.PreambleFor(channel);
  const double screen = settings.Number("TIM:RANG", 1e-3);
  const double centre = p.x_origin + screen / 2.0;

  Record r;
  r.dt = screen * kScreensPerRecord / kSamples;
  r.t0 = centre - screen * kScreensPerRecord / 2.0;
  r.v.resize(kSamples);
  const WaveformSynth::Coupling coupling = synth.CouplingOf(channel);
  for (int i = 0; i < kSamples; ++i) {
    r.v[static_cast<std::size_t>(i)] =
        std::clamp(WaveformSynth::CoupledVolts(channel, coupling, r.Time(i)), offset - range / 2.0,
                   offset + range / 2.0);
  }

  const Levels l = FindLevels(r);
  switch (m) {
    case Measurement::kMax:
      return l.max;
    case Measurement::kMin:
      return l.min;
    case Measurement::kPeakToPeak:
      return l.max - l.min;
    case Measurement::kAverage:
      return std::accumulate(r.v.begin(), r.v.end(), 0.0) / kSamples;
    case Measurement::kRms: {
      double sum = 0.0;
      for (double v : r.v) sum += v * v;
      return std::sqrt(sum / kSamples);
    }
    case Measurement::kAmplitude:
      return l.Amplitude();
    case Measurement::kOvershoot:
      return l.Amplitude() > 0 ? (l.max - l.top) / l.Amplitude() * 100.0 : kInvalidMeasurement;
    case Measurement::kPreshoot:
      return l.Amplitude() > 0 ? (l.base - l.min) / l.Amplitude() * 100.0 : kInvalidMeasurement;
    default:
      break;
  }
  const std::vector<Edge> edges = FindEdges(r, l);
  const double period = Period(r, edges);
  switch (m) {
    case Measurement::kFrequency:
      return period == kInvalidMeasurement ? kInvalidMeasurement : 1.0 / period;
    case Measurement::kPeriod:
      return period;
    case Measurement::kPositiveWidth:
      return Width(r, edges, true);
    case Measurement::kNegativeWidth:
      return Width(r, edges, false);
    case Measurement::kDutyCycle: {
      const double width = Width(r, edges, true);
      if (period == kInvalidMeasurement || width == kInvalidMeasurement) return kInvalidMeasurement;
      return width / period * 100.0;
    }
    case Measurement::kRiseTime:
      return Transition(r, edges, true);
    case Measurement::kFallTime:
      return Transition(r, edges, false);
    default:
      return kInvalidMeasurement;
  }
}

}  // namespace vex::sim
