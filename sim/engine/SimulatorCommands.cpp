// The private :SIMulator subsystem. Its commands are never faulted and never
// saved, so a test can always inspect and repair the connection it damaged.
#include <string>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ErrorQueue.h"
#include "engine/Instrument.h"
#include "engine/Session.h"

namespace vex::sim {

namespace {

constexpr double kMaxDelayMs = 600'000;

void SetFault(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  if (auto fault = ParseFault(c.unit.args[0].text)) {
    c.session.SetFault(*fault);
  } else {
    c.Error(error::kIllegalParameterValue);
  }
}
void QueryFault(CommandContext& c) {
  c.Reply(FaultName(c.session.fault()));
}

void SetDelay(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  auto ms = c.Number(0);
  if (!ms) return;
  if (*ms < 0 || *ms > kMaxDelayMs) {
    c.Error(error::kDataOutOfRange);
    return;
  }
  c.session.SetFaultDelay(static_cast<unsigned>(*ms + 0.5));
}
void QueryDelay(CommandContext& c) {
  c.Reply(std::to_string(c.session.fault_delay_ms()));
}

void SetPattern(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  const std::string& t = c.unit.args[0].text;
  if (t == "1" || HeaderPattern::MatchWord("ON", t)) {
    c.instrument.test_pattern = true;
  } else if (t == "0" || HeaderPattern::MatchWord("OFF", t)) {
    c.instrument.test_pattern = false;
  } else {
    c.Error(error::kIllegalParameterValue);
  }
}
void QueryPattern(CommandContext& c) {
  c.Reply(c.instrument.test_pattern ? "1" : "0");
}

// ":SIMulator:ERRFormat SHORT|LONG": the error query's reply form for this
// connection, "-113" or "-113,\"Undefined header\"".
void SetErrorFormat(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  const std::string& t = c.unit.args[0].text;
  if (HeaderPattern::MatchWord("SHORt", t)) {
    c.session.SetShortErrors(true);
  } else if (HeaderPattern::MatchWord("LONG", t)) {
    c.session.SetShortErrors(false);
  } else {
    c.Error(error::kIllegalParameterValue);
  }
}
void QueryErrorFormat(CommandContext& c) {
  c.Reply(c.session.short_errors() ? "SHOR" : "LONG");
}

// "<baud>,<data bits>,<parity>,<stop bits>,<flow control>" as the pty
// transport reads it from the line; other transports have no line.
void QueryLine(CommandContext& c) {
  if (auto line = c.session.LineSettings()) {
    c.Reply(*line);
  } else {
    c.Error(error::kSettingsConflict);
  }
}

constexpr CommandRow kRows[] = {
    row::Private(row::Action(":SIMulator:FAULt", SetFault, QueryFault)),
    row::Private(row::Action(":SIMulator:FAULt:DELay", SetDelay, QueryDelay)),
    row::Private(row::Action(":SIMulator:PATTern", SetPattern, QueryPattern)),
    row::Private(row::Query(":SIMulator:LINE", QueryLine)),
    row::Private(row::Action(":SIMulator:ERRFormat", SetErrorFormat, QueryErrorFormat)),
};

}  // namespace

std::span<const CommandRow> SimulatorCommandRows() {
  return kRows;
}

}  // namespace vex::sim
