// IEEE 488.2 common commands and the :SYSTem subsystem.
#include <cstdio>
#include <string>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ErrorQueue.h"
#include "engine/Instrument.h"
#include "engine/Session.h"

namespace vex::sim {

namespace {

// Status registers answer as signed integers: "+32".
void ReplyRegister(CommandContext& c, int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%+d", value);
  c.Reply(buf);
}

std::optional<int> RegisterArg(CommandContext& c, int max) {
  if (!c.ExpectArgs(1, 1)) return std::nullopt;
  auto v = c.Number(0);
  if (!v) return std::nullopt;
  if (*v < 0 || *v > max) {
    c.Error(error::kDataOutOfRange);
    return std::nullopt;
  }
  return static_cast<int>(*v + 0.5);
}

void Identify(CommandContext& c) {
  c.Reply(c.instrument.Identity());
}

void Reset(CommandContext& c) {
  c.instrument.Reset();
}

void ClearStatus(CommandContext& c) {
  c.instrument.errors().Clear();
  c.instrument.TakeEventStatus();
}

void QueryEventStatus(CommandContext& c) {
  ReplyRegister(c, c.instrument.TakeEventStatus());
}

void SetEventEnable(CommandContext& c) {
  if (auto v = RegisterArg(c, 255)) c.instrument.event_enable = static_cast<uint8_t>(*v);
}
void QueryEventEnable(CommandContext& c) {
  ReplyRegister(c, c.instrument.event_enable);
}

void SetServiceEnable(CommandContext& c) {
  if (auto v = RegisterArg(c, 255)) c.instrument.service_enable = static_cast<uint8_t>(*v);
}
void QueryServiceEnable(CommandContext& c) {
  ReplyRegister(c, c.instrument.service_enable);
}

void QueryStatusByte(CommandContext& c) {
  ReplyRegister(c, c.instrument.StatusByte(c.session));
}

// A trigger event from the host (*TRG, the HiSLIP Trigger message): the
// acquisition it starts counts as completed.
void TriggerEvent(CommandContext& c) {
  ++c.instrument.acquisitions;
}

void SelfTest(CommandContext& c) {
  ReplyRegister(c, 0);
}

// Every operation completes before the next command is read, so *OPC sets
// the bit at once and *OPC? answers at once.
void SetOperationComplete(CommandContext& c) {
  c.instrument.SetEventBits(esr::kOperationComplete);
}
void QueryOperationComplete(CommandContext& c) {
  c.Reply("1");
}
void Wait(CommandContext&) {}

void SaveState(CommandContext& c) {
  if (auto reg = RegisterArg(c, Instrument::kSaveRegisters - 1)) c.instrument.Save(*reg);
}

void RecallState(CommandContext& c) {
  auto reg = RegisterArg(c, Instrument::kSaveRegisters - 1);
  if (reg && !c.instrument.Recall(*reg)) c.Error(error::kSettingsConflict);
}

void NextError(CommandContext& c) {
  c.Reply(c.instrument.errors().Pop(c.session.short_errors()));
}

void QuerySetup(CommandContext& c) {
  c.ReplyBlock(c.instrument.LearnString());
}

void ApplySetup(CommandContext& c) {
  if (!c.ExpectArgs(1, 1)) return;
  const Argument& arg = c.unit.args[0];
  if (arg.kind != Argument::Kind::kBlock) {
    c.Error(error::kDataType);
    return;
  }
  if (!c.instrument.ApplyLearnString(arg.block)) c.Error(error::kInvalidBlockData);
}

constexpr CommandRow kRows[] = {
    row::Query("*IDN", Identify),
    row::Action("*RST", Reset),
    row::Action("*CLS", ClearStatus),
    row::Query("*ESR", QueryEventStatus),
    row::Action("*ESE", SetEventEnable, QueryEventEnable),
    row::Action("*SRE", SetServiceEnable, QueryServiceEnable),
    row::Query("*STB", QueryStatusByte),
    row::Query("*TST", SelfTest),
    row::Action("*OPC", SetOperationComplete, QueryOperationComplete),
    row::Action("*WAI", Wait),
    row::Action("*TRG", TriggerEvent),
    row::Action("*SAV", SaveState),
    row::Action("*RCL", RecallState),
    row::Query(":SYSTem:ERRor[:NEXT]", NextError),
    row::Action(":SYSTem:SETup", ApplySetup, QuerySetup),
};

}  // namespace

std::span<const CommandRow> CommonCommandRows() {
  return kRows;
}

}  // namespace vex::sim
