// The screen image and the trace (pixel) memories.
#include <string>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ErrorQueue.h"
#include "engine/HeaderPattern.h"
#include "engine/Instrument.h"
#include "engine/ScreenImage.h"
#include "engine/WaveformSynth.h"

namespace vex::sim {

namespace {

// ":DISPlay:DATA? BMP,SCReen[,GRAYscale|COLor]" answers the screen as a
// BMP file in a block. Without arguments it answers the trace memory that
// ":DISPlay:SOURce" selects, as ":DISPlay:DATA <block>" wrote it.
void QueryDisplayData(CommandContext& c) {
  if (c.ArgCount() == 0) {
    auto it = c.instrument.traces().find(c.instrument.display_source);
    if (it == c.instrument.traces().end()) {
      c.Error(error::kSettingsConflict);
      return;
    }
    c.ReplyBlock(it->second);
    return;
  }
  if (!c.ExpectArgs(2, 3)) return;
  const auto& args = c.unit.args;
  if (!HeaderPattern::MatchWord("BMP", args[0].text) ||
      !HeaderPattern::MatchWord("SCReen", args[1].text)) {
    c.Error(error::kIllegalParameterValue);
    return;
  }
  bool gray = false;
  if (c.ArgCount() == 3) {
    if (HeaderPattern::MatchWord("GRAYscale", args[2].text)) {
      gray = true;
    } else if (!HeaderPattern::MatchWord("COLor", args[2].text)) {
      c.Error(error::kIllegalParameterValue);
      return;
    }
  }
  c.ReplyBlock(RenderScreen(c.instrument, gray));
}

void SetDisplayData(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (c.unit.args[0].kind != Argument::Kind::kBlock) {
    c.Error(error::kDataType);
    return;
  }
  c.instrument.traces()[c.instrument.display_source] = c.unit.args[0].block;
}

void SetDisplaySource(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (auto m = c.Memory(0)) c.instrument.display_source = *m;
}
void QueryDisplaySource(CommandContext& c) {
  c.Reply("PMEM" + std::to_string(c.instrument.display_source));
}

// ":CDISplay" clears the screen of trace memories; their contents stay.
void ClearDisplay(CommandContext& c) {
  if (c.ExpectArgs(0, 0)) c.instrument.shown_memories.clear();
}

void StoreChannel(CommandContext& c, int channel, int memory) {
  const WaveformSynth synth(c.instrument.settings(), c.instrument.test_pattern);
  c.instrument.traces()[memory] = synth.Codes(channel);
}

// ":MERGe PMEM<n>" stores what the screen shows: the trace of the first
// channel that is on.
void Merge(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  auto m = c.Memory(0);
  if (!m) return;
  for (int n = 1; n <= c.instrument.AnalogChannels(); ++n) {
    if (c.instrument.settings().Flag("CHAN" + std::to_string(n) + ":DISP")) {
      StoreChannel(c, n, *m);
      return;
    }
  }
  c.Error(error::kSettingsConflict);
}

// ":STORe CHAN<n>,PMEM<m>" stores channel n's record in memory m. A channel
// that is off has nothing to store.
void Store(CommandContext& c) {
  if (!c.ExpectArgs(2, 2)) return;
  auto n = c.Channel(0);
  if (!n) return;
  auto m = c.Memory(1);
  if (!m) return;
  if (!c.instrument.settings().Flag("CHAN" + std::to_string(*n) + ":DISP")) {
    c.Error(error::kSettingsConflict);
    return;
  }
  StoreChannel(c, *n, *m);
}

// ":ERASe PMEM<n>" empties memory n and takes it off the screen.
void Erase(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (auto m = c.Memory(0)) {
    c.instrument.traces().erase(*m);
    c.instrument.shown_memories.erase(*m);
  }
}

// ":STATus? PMEM<n>": 1 while memory n is shown, 0 otherwise.
void QueryStatus(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (auto m = c.Memory(0)) c.Reply(c.instrument.shown_memories.count(*m) != 0 ? "1" : "0");
}

constexpr CommandRow kRows[] = {
    row::Action(":DISPlay:DATA", SetDisplayData, QueryDisplayData),
    row::Action(":DISPlay:SOURce", SetDisplaySource, QueryDisplaySource),
    row::Action(":CDISplay", ClearDisplay),
    row::Action(":MERGe", Merge),
    row::Action(":STORe", Store),
    row::Action(":ERASe", Erase),
    row::Query(":STATus", QueryStatus),
};

}  // namespace

std::span<const CommandRow> DisplayCommandRows() {
  return kRows;
}

}  // namespace vex::sim
