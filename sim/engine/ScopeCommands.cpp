// Channel display, waveform transfer, run control and trace data transfer.
#include <cstdio>
#include <string>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ErrorQueue.h"
#include "engine/HeaderPattern.h"
#include "engine/Instrument.h"
#include "engine/WaveformSynth.h"

namespace vex::sim {

namespace {

constexpr std::string_view kFormats[] = {"BYTE", "WORD", "ASCii"};
constexpr std::string_view kSources[] = {"CHANnel1", "CHANnel2", "CHANnel3", "CHANnel4"};

// Enough for benchmarks of eight million point records.
constexpr double kMaxPoints = 8'000'000;
constexpr double kMaxTrace = 100;

int SourceChannel(const Instrument& inst) {
  const std::string source = inst.settings().Text("WAV:SOUR", "CHAN1");
  return source.size() == 5 ? source[4] - '0' : 1;
}

WaveformSynth Synth(CommandContext& c) {
  return WaveformSynth(c.instrument.settings(), c.instrument.test_pattern);
}

void SetSource(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (auto n = HeaderPattern::MatchWord("CHANnel#", c.unit.args[0].text);
      n && (*n < 1 || *n > c.instrument.AnalogChannels())) {
    c.Error(error::kSettingsConflict);
    return;
  }
  c.StoreArg(0);
}

// ":WAVeform:POINts 1000" or with a mode keyword ":WAV:POIN NORM,1000"; the
// count is the last argument.
void SetPoints(CommandContext& c) {
  if (!c.ExpectArgs(1, 2)) return;
  if (c.ArgCount() == 2 && !HeaderPattern::MatchWord("NORMal", c.unit.args[0].text) &&
      !HeaderPattern::MatchWord("MAXimum", c.unit.args[0].text) &&
      !HeaderPattern::MatchWord("RAW", c.unit.args[0].text)) {
    c.Error(error::kIllegalParameterValue);
    return;
  }
  c.StoreArg(c.ArgCount() - 1);
}

void QueryPoints(CommandContext& c) {
  c.Reply(std::to_string(Synth(c).Points(SourceChannel(c.instrument))));
}

void QueryPreamble(CommandContext& c) {
  c.Reply(Synth(c).PreambleFor(SourceChannel(c.instrument)).Format());
}

void QueryData(CommandContext& c) {
  c.ReplyBlock(Synth(c).Data(SourceChannel(c.instrument)));
}

// ":VIEW CHAN2" / ":BLANk CHAN2" switch a channel on or off; with PMEM<n>
// they show or hide trace memory n.
void SetDisplay(CommandContext& c, bool on) {
  if (!c.ExpectArgs(1, 1)) return;
  if (CommandContext::IsMemoryWord(c.unit.args[0].text)) {
    if (auto m = c.Memory(0)) {
      if (on) {
        c.instrument.shown_memories.insert(*m);
      } else {
        c.instrument.shown_memories.erase(*m);
      }
    }
    return;
  }
  if (auto n = c.Channel(0)) c.instrument.settings().Set("CHAN" + std::to_string(*n) + ":DISP", on);
}
void View(CommandContext& c) {
  SetDisplay(c, true);
}
void Blank(CommandContext& c) {
  SetDisplay(c, false);
}

// One preamble field on its own (":WAVeform:XINCrement?" and the like).
template <double Preamble::*Field>
void QueryPreambleReal(CommandContext& c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%+.10E",
                Synth(c).PreambleFor(SourceChannel(c.instrument)).*Field);
  c.Reply(buf);
}
template <long long Preamble::*Field>
void QueryPreambleInteger(CommandContext& c) {
  c.Reply(std::to_string(Synth(c).PreambleFor(SourceChannel(c.instrument)).*Field));
}

// Every channel on, 8 V full scale centred (the high range on two-range
// inputs), and one period of the 1 kHz signals across the screen.
void Autoscale(CommandContext& c) {
  Settings& s = c.instrument.settings();
  for (int n = 1; n <= c.instrument.AnalogChannels(); ++n) {
    const std::string chan = "CHAN" + std::to_string(n);
    const double probe = s.Number(chan + ":PROB", 1.0);
    s.Set(chan + ":DISP", true);
    s.Set(chan + ":RANG", (c.instrument.TwoRangeInput(n) ? Instrument::kRangeMax : 8.0) * probe);
    s.Set(chan + ":OFFS", 0.0);
  }
  s.Set("TIM:RANG", 1e-3);
  s.Set("TIM:DEL", 0.0);
  c.instrument.run_state = Instrument::RunState::kRunning;
}

void Stop(CommandContext& c) {
  c.instrument.run_state = Instrument::RunState::kStopped;
}
void Run(CommandContext& c) {
  c.instrument.run_state = Instrument::RunState::kRunning;
}
void Single(CommandContext& c) {
  c.instrument.run_state = Instrument::RunState::kSingle;
  ++c.instrument.acquisitions;
}

// ":DIGitize CHAN1,CHAN3" acquires the listed channels (all when none is
// listed) and stops, as the front panel's single key does. A host may also
// pass the list as one quoted string, "CHAN1,CHAN3".
void Digitize(CommandContext& c) {
  for (const Argument& arg : c.unit.args) {
    std::string_view list = arg.text;
    while (!list.empty()) {
      const auto comma = list.find(',');
      std::string_view word = list.substr(0, comma);
      while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
      while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
      if (!c.ChannelNamed(word)) return;
      list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
  }
  ++c.instrument.acquisitions;
  c.instrument.run_state = Instrument::RunState::kStopped;
}

std::optional<long long> TraceNumber(CommandContext& c) {
  auto n = c.Number(0);
  if (!n) return std::nullopt;
  if (*n < 0 || *n > kMaxTrace) {
    c.Error(error::kDataOutOfRange);
    return std::nullopt;
  }
  return static_cast<long long>(*n);
}

void SetTraceData(CommandContext& c) {
  if (!c.ExpectArgs(2, 2)) return;
  auto n = TraceNumber(c);
  if (!n) return;
  if (c.unit.args[1].kind != Argument::Kind::kBlock) {
    c.Error(error::kDataType);
    return;
  }
  c.instrument.traces()[*n] = c.unit.args[1].block;
}

void QueryTraceData(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  auto n = TraceNumber(c);
  if (!n) return;
  auto it = c.instrument.traces().find(*n);
  if (it == c.instrument.traces().end()) {
    c.Error(error::kSettingsConflict);
    return;
  }
  c.ReplyBlock(it->second);
}

constexpr CommandRow kRows[] = {
    row::Bool(":CHANnel#:DISPlay", "OFF", kChannels, "ON"),
    row::Choice(":WAVeform:FORMat", kFormats, "BYTE"),
    row::WithHandlers(row::Choice(":WAVeform:SOURce", kSources, "CHANnel1"), SetSource),
    row::WithHandlers(row::Integer(":WAVeform:POINts", 1, kMaxPoints, "1000", true), SetPoints,
                      QueryPoints),
    row::Query(":WAVeform:PREamble", QueryPreamble),
    row::Query(":WAVeform:DATA", QueryData),
    row::Query(":WAVeform:XINCrement", QueryPreambleReal<&Preamble::x_increment>),
    row::Query(":WAVeform:XORigin", QueryPreambleReal<&Preamble::x_origin>),
    row::Query(":WAVeform:XREFerence", QueryPreambleInteger<&Preamble::x_reference>),
    row::Query(":WAVeform:YINCrement", QueryPreambleReal<&Preamble::y_increment>),
    row::Query(":WAVeform:YORigin", QueryPreambleReal<&Preamble::y_origin>),
    row::Query(":WAVeform:YREFerence", QueryPreambleInteger<&Preamble::y_reference>),
    row::Action(":VIEW", View),
    row::Action(":BLANk", Blank),
    row::Action(":AUToscale", Autoscale),
    row::Action(":STOP", Stop),
    row::Action(":RUN", Run),
    row::Action(":SINGle", Single),
    row::Action(":DIGitize", Digitize),
    row::Action(":TRACe:DATA", SetTraceData, QueryTraceData),
};

}  // namespace

std::span<const CommandRow> ScopeCommandRows() {
  return kRows;
}

}  // namespace vex::sim
