// The :MEASure subsystem: a source selection and one query per measurement.
#include <cstdio>
#include <string>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ErrorQueue.h"
#include "engine/HeaderPattern.h"
#include "engine/Instrument.h"
#include "engine/Measurements.h"

namespace vex::sim {

namespace {

constexpr std::string_view kSources[] = {"CHANnel1", "CHANnel2", "CHANnel3", "CHANnel4"};

void SetSource(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (c.ChannelNamed(c.unit.args[0].text)) c.StoreArg(0);
}

// Selects the source named by the optional argument; false after an error.
bool SelectSource(CommandContext& c) {
  if (!c.ExpectArgs(0, 1)) return false;
  if (c.ArgCount() == 0) return true;
  auto n = c.Channel(0);
  if (!n) return false;
  c.instrument.settings().Set("MEAS:SOUR", "CHAN" + std::to_string(*n));
  return true;
}

// ":MEASure:FREQuency CHAN1" selects the source; ":MEASure:FREQuency?"
// measures the selected one, ":MEASure:FREQuency? CHAN1" selects and
// measures.
void Select(CommandContext& c) {
  SelectSource(c);
}

template <Measurement M>
void Query(CommandContext& c) {
  if (!SelectSource(c)) return;
  const std::string source = c.instrument.settings().Text("MEAS:SOUR", "CHAN1");
  const int channel = source.size() == 5 ? source[4] - '0' : 1;
  const WaveformSynth synth(c.instrument.settings(), c.instrument.test_pattern);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%+.6E", Measure(synth, c.instrument.settings(), channel, M));
  c.Reply(buf);
}

constexpr CommandRow kRows[] = {
    row::WithHandlers(row::Choice(":MEASure:SOURce", kSources, "CHANnel1"), SetSource),
    row::Action(":MEASure:FREQuency", Select, Query<Measurement::kFrequency>),
    row::Action(":MEASure:PERiod", Select, Query<Measurement::kPeriod>),
    row::Action(":MEASure:PWIDth", Select, Query<Measurement::kPositiveWidth>),
    row::Action(":MEASure:NWIDth", Select, Query<Measurement::kNegativeWidth>),
    row::Action(":MEASure:RISetime", Select, Query<Measurement::kRiseTime>),
    row::Action(":MEASure:FALLtime", Select, Query<Measurement::kFallTime>),
    row::Action(":MEASure:DUTYcycle", Select, Query<Measurement::kDutyCycle>),
    row::Action(":MEASure:VRMS", Select, Query<Measurement::kRms>),
    row::Action(":MEASure:VMAX", Select, Query<Measurement::kMax>),
    row::Action(":MEASure:VMIN", Select, Query<Measurement::kMin>),
    row::Action(":MEASure:VAVerage", Select, Query<Measurement::kAverage>),
    row::Action(":MEASure:VPP", Select, Query<Measurement::kPeakToPeak>),
    row::Action(":MEASure:VAMPlitude", Select, Query<Measurement::kAmplitude>),
    row::Action(":MEASure:PREShoot", Select, Query<Measurement::kPreshoot>),
    row::Action(":MEASure:OVERshoot", Select, Query<Measurement::kOvershoot>),
};

}  // namespace

std::span<const CommandRow> MeasureCommandRows() {
  return kRows;
}

}  // namespace vex::sim
