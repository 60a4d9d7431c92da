// Acquisition, analog channel, timebase and trigger settings.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ErrorQueue.h"
#include "engine/HeaderPattern.h"
#include "engine/Instrument.h"

namespace vex::sim {

namespace {

constexpr std::string_view kAcquireTypes[] = {"NORMal", "AVERage",  "PEAK", "HRESolution",
                                              "GLITch", "REALtime", "AUTO"};
constexpr std::string_view kProbeModes[] = {"AUTo", "MANual"};
constexpr std::string_view kCouplings[] = {"DC", "AC", "GND"};
constexpr std::string_view kImpedances[] = {"ONEMeg", "FIFTy"};
constexpr std::string_view kTimeModes[] = {"MAIN", "WINDow", "XY", "ROLL"};
constexpr std::string_view kReferences[] = {"LEFT", "CENTer", "RIGHt"};
constexpr std::string_view kTriggerModes[] = {"AUTO", "AUTLevel", "NORMal", "SINGle", "TV"};
constexpr std::string_view kTriggerSources[] = {"CHANnel1", "CHANnel2", "CHANnel3",
                                                "CHANnel4", "EXTernal", "LINE"};
constexpr std::string_view kSlopes[] = {"POSitive", "NEGative"};
constexpr std::string_view kTriggerCouplings[] = {"DC", "AC", "LFReject", "HFReject"};

constexpr double kMaxPoints = 8'000'000;

std::string Chan(int n) {
  return "CHAN" + std::to_string(n);
}

double Probe(const Settings& s, int n) {
  return s.Number(Chan(n) + ":PROB", 1.0);
}

// The offset the input allows at a range: +-2 V up to 0.8 V full scale,
// +-10 V up to 4 V, +-40 V above, all at the probe tip (times the probe).
double OffsetLimit(double range, double probe) {
  const double per_probe = range / probe;
  const double limit = per_probe <= 0.8 ? 2.0 : per_probe <= 4.0 ? 10.0 : 40.0;
  return limit * probe;
}

// Clips the channel's offset to what its current range allows, as the
// instrument does when either changes.
void ClipOffset(Settings& s, int n) {
  const double limit = OffsetLimit(s.Number(Chan(n) + ":RANG", 8.0), Probe(s, n));
  const double offset = s.Number(Chan(n) + ":OFFS", 0.0);
  s.Set(Chan(n) + ":OFFS", std::clamp(offset, -limit, limit));
}

// ":CHANnel<n>:RANGe <volts>|LOW|HIGH|MIN|MAX". The full-scale range runs
// from 16 mV to 40 V times the probe attenuation; other values are clipped.
// Two-range inputs (channels 3 and 4 of four-channel models) take the low
// range for values at or below it and the high range for everything else.
void SetRange(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  Settings& s = c.instrument.settings();
  const int n = c.suffix;
  const double p = Probe(s, n);
  const double low = Instrument::kRangeMin * p;
  const double high = Instrument::kRangeMax * p;
  const std::string& t = c.unit.args[0].text;
  double v = 0.0;
  if (HeaderPattern::MatchWord("LOW", t) || HeaderPattern::MatchWord("MINimum", t)) {
    v = low;
  } else if (HeaderPattern::MatchWord("HIGH", t) || HeaderPattern::MatchWord("MAXimum", t)) {
    v = high;
  } else if (auto number = c.Number(0)) {
    v = *number;
  } else {
    return;
  }
  if (c.instrument.TwoRangeInput(n)) {
    v = v <= low * (1 + 1e-9) ? low : high;
  } else {
    v = std::clamp(v, low, high);
  }
  s.Set(c.Key(), v);
  ClipOffset(s, n);
}

void QueryRange(CommandContext& c) {
  if (!c.ExpectArgs(0, 0)) return;
  const Settings& s = c.instrument.settings();
  const double v = s.Number(c.Key(), 8.0);
  if (c.instrument.TwoRangeInput(c.suffix)) {
    c.Reply(v <= Instrument::kRangeMin * Probe(s, c.suffix) * (1 + 1e-9) ? "LOW" : "HIGH");
  } else {
    c.Reply(FormatPropertyValue(c.row, v));
  }
}

void SetOffset(CommandContext& c) {
  if (!c.ExpectArgs(1, 1) || !c.StoreArg(0)) return;
  ClipOffset(c.instrument.settings(), c.suffix);
}

// ":CHANnel<n>:PROBe X10" or a factor. Range and offset keep their meaning
// at the screen, so both scale with the attenuation, as on the instrument.
// A channel in automatic probe sense mode refuses a programmed attenuation.
void SetProbe(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  Settings& s = c.instrument.settings();
  const int n = c.suffix;
  if (s.Text(Chan(n) + ":PMOD") == "AUT") {
    c.Error(error::kSettingsConflict);
    return;
  }
  std::string t = c.unit.args[0].text;
  if (!t.empty() && (t[0] == 'X' || t[0] == 'x')) t.erase(0, 1);
  double factor = 0.0;
  if (!ParseNumber(t, factor)) {
    c.Error(error::kDataType);
    return;
  }
  if (factor < c.row.min || factor > c.row.max) {
    c.Error(error::kDataOutOfRange);
    return;
  }
  const double ratio = factor / Probe(s, n);
  s.Set(c.Key(), factor);
  s.Set(Chan(n) + ":RANG", s.Number(Chan(n) + ":RANG", 8.0) * ratio);
  s.Set(Chan(n) + ":OFFS", s.Number(Chan(n) + ":OFFS", 0.0) * ratio);
}

// The two-range inputs of the four-channel VDS3004A have no AC coupling.
void SetCoupling(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (c.instrument.options().model == "VDS3004A" && c.instrument.TwoRangeInput(c.suffix) &&
      HeaderPattern::MatchWord("AC", c.unit.args[0].text)) {
    c.Error(error::kSettingsConflict);
    return;
  }
  c.StoreArg(0);
}

// ":TIMebase:MODE" also takes NORMal for MAIN and DELayed for WINDow, the
// names older hosts use; the reply is always MAIN, WIND, XY or ROLL.
void SetTimeMode(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  const std::string& t = c.unit.args[0].text;
  if (HeaderPattern::MatchWord("NORMal", t)) {
    c.instrument.settings().Set(c.Key(), std::string("MAIN"));
  } else if (HeaderPattern::MatchWord("DELayed", t)) {
    c.instrument.settings().Set(c.Key(), std::string("WIND"));
  } else {
    c.StoreArg(0);
  }
}

// Trigger sources are the model's own channels, the external input and the
// line; a channel beyond the model is a settings conflict.
void SetTriggerSource(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (auto n = HeaderPattern::MatchWord("CHANnel#", c.unit.args[0].text);
      n && (*n < 1 || *n > c.instrument.AnalogChannels())) {
    c.Error(error::kSettingsConflict);
    return;
  }
  c.StoreArg(0);
}

// ":ACQuire:POINts" is the record length itself: the same setting that
// ":WAVeform:POINts" transfers, read back whether or not a channel is on.
void SetAcquirePoints(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  auto v = c.Number(0);
  if (!v) return;
  c.instrument.settings().Set("WAV:POIN", std::llround(std::clamp(*v, 1.0, kMaxPoints)));
}
void QueryAcquirePoints(CommandContext& c) {
  if (!c.ExpectArgs(0, 0)) return;
  c.Reply(std::to_string(std::llround(c.instrument.settings().Number("WAV:POIN", 1000))));
}

constexpr CommandRow kRows[] = {
    // Acquisition.
    row::Choice(":ACQuire:TYPE", kAcquireTypes, "NORMal"),
    row::Integer(":ACQuire:COUNt", 1, 65536, "8"),
    row::Integer(":ACQuire:COMPlete", 0, 100, "100"),
    row::Action(":ACQuire:POINts", SetAcquirePoints, QueryAcquirePoints),
    // Analog channels. Range and offset limits follow the probe, so the
    // rows' own limits only bound what a learn string may hold.
    row::WithHandlers(row::Real(":CHANnel#:RANGe", 1.6e-3, 4e4, "8.0", true, kChannels), SetRange,
                      QueryRange),
    row::WithHandlers(row::Real(":CHANnel#:OFFSet", -4e4, 4e4, "0", true, kChannels), SetOffset),
    row::Choice(":CHANnel#:PMODe", kProbeModes, "MANual", kChannels),
    row::WithHandlers(row::Real(":CHANnel#:PROBe", 0.1, 1000, "1", false, kChannels), SetProbe),
    row::WithHandlers(row::Choice(":CHANnel#:PROBe:EC", kCouplings, "DC", kChannels), SetCoupling),
    row::Bool(":CHANnel#:BWLimit", "OFF", kChannels),
    row::Choice(":CHANnel#:INPut", kImpedances, "ONEMeg", kChannels),
    // Timebase.
    row::WithHandlers(row::Choice(":TIMebase:MODE", kTimeModes, "MAIN"), SetTimeMode),
    row::Real(":TIMebase:RANGe", 1e-9, 50.0, "1e-3", true),
    row::Real(":TIMebase:DELay", -50.0, 50.0, "0", true),
    row::Choice(":TIMebase:REFerence", kReferences, "CENTer"),
    row::Real(":TIMebase:WINDow:DELay", -50.0, 50.0, "0", true),
    row::Real(":TIMebase:WINDow:RANGe", 1e-9, 50.0, "1e-4", true),
    // Trigger: the edge settings answer with or without the EDGE node.
    row::Choice(":TRIGger:MODE", kTriggerModes, "AUTO"),
    row::WithHandlers(row::Choice(":TRIGger[:EDGE]:SOURce", kTriggerSources, "CHANnel1"),
                      SetTriggerSource),
    row::Choice(":TRIGger[:EDGE]:SLOPe", kSlopes, "POSitive"),
    row::Real(":TRIGger[:EDGE]:LEVel", -400.0, 400.0, "0", true),
    row::Choice(":TRIGger[:EDGE]:COUPling", kTriggerCouplings, "DC"),
    row::Real(":TRIGger:HOLDoff", 6e-8, 10.0, "6e-8", true),
};

}  // namespace

std::span<const CommandRow> SettingsCommandRows() {
  return kRows;
}

}  // namespace vex::sim
