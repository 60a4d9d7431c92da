#include "engine/Instrument.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <string_view>

#include "engine/CommandContext.h"
#include "engine/CommandSets.h"
#include "engine/ProgramParser.h"

namespace vex::sim {

namespace {

constexpr std::string_view kLearnMagic = "VEXSIM-SETUP";

std::vector<std::string> SplitKey(const std::string& key) {
  std::vector<std::string> nodes;
  std::string node;
  for (char c : key) {
    if (c == ':') {
      nodes.push_back(std::move(node));
      node.clear();
    } else {
      node += c;
    }
  }
  nodes.push_back(std::move(node));
  return nodes;
}

}  // namespace

int AnalogChannelsOf(const std::string& model) {
  constexpr std::array<std::string_view, 3> kFourChannel{"VDS3004A", "VDS3014A", "VDS3024A"};
  return std::find(kFourChannel.begin(), kFourChannel.end(), model) != kFourChannel.end() ? 4 : 2;
}

Instrument::Instrument(InstrumentOptions options)
    : options_(std::move(options)), channels_(AnalogChannelsOf(options_.model)) {
  table_.Add(CommonCommandRows());
  table_.Add(ScopeCommandRows());
  table_.Add(SettingsCommandRows());
  table_.Add(MeasureCommandRows());
  table_.Add(DisplayCommandRows());
  table_.Add(SimulatorCommandRows());
  Reset();
  session_ = std::make_unique<Session>(*this);
}

Instrument::~Instrument() = default;

std::string Instrument::Identity() const {
  return options_.manufacturer + "," + options_.model + "," + options_.serial + "," +
         options_.firmware;
}

void Instrument::PushError(int code) {
  errors_.Push(code);
  esr_ |= EventBitFor(code);
}

uint8_t Instrument::TakeEventStatus() {
  const uint8_t value = esr_;
  esr_ = 0;
  return value;
}

uint8_t Instrument::StatusByte(const Session& session) const {
  uint8_t stb = 0;
  if (!errors_.Empty()) stb |= 0x04;
  if (session.HasResponse()) stb |= 0x10;
  if ((esr_ & event_enable) != 0) stb |= 0x20;
  if ((stb & service_enable) != 0) stb |= 0x40;
  return stb;
}

int Instrument::SuffixLimit(const CommandRow& row) const {
  return row.suffixes == kChannels ? channels_ : row.suffixes;
}

void Instrument::Reset() {
  Settings fresh;
  for (const auto& e : table_.Entries()) {
    const CommandRow& r = *e.row;
    if (r.kind == PropertyKind::kNone) continue;
    for (int s = 1; s <= SuffixLimit(r); ++s) {
      Argument arg;
      arg.text = std::string(s == 1 && !r.initial_1.empty() ? r.initial_1 : r.initial);
      auto parsed = ParsePropertyValue(r, arg);
      if (const auto* v = std::get_if<Settings::Value>(&parsed)) fresh.Set(e.pattern.Key(s), *v);
    }
  }
  // Two-range inputs start on their high range.
  for (int n = 1; n <= channels_; ++n) {
    if (TwoRangeInput(n)) fresh.Set("CHAN" + std::to_string(n) + ":RANG", kRangeMax);
  }
  settings_ = std::move(fresh);
  run_state = RunState::kRunning;
}

bool Instrument::Recall(int reg) {
  const auto& slot = saved_.at(static_cast<std::size_t>(reg));
  if (!slot) return false;
  settings_ = *slot;
  return true;
}

std::vector<uint8_t> Instrument::LearnString() const {
  std::string text(kLearnMagic);
  text += ' ' + options_.model + ' ' + options_.firmware + '\n';
  for (const auto& e : table_.Entries()) {
    const CommandRow& r = *e.row;
    if (r.kind == PropertyKind::kNone || r.simulator) continue;
    for (int s = 1; s <= SuffixLimit(r); ++s) {
      const std::string key = e.pattern.Key(s);
      if (const Settings::Value* v = settings_.Find(key)) {
        text += key + ' ' + FormatPropertyValue(r, *v) + '\n';
      }
    }
  }
  return {text.begin(), text.end()};
}

bool Instrument::ApplyLearnString(std::span<const uint8_t> data) {
  std::istringstream in(std::string(data.begin(), data.end()));
  std::string line;
  if (!std::getline(in, line) || !line.starts_with(kLearnMagic)) return false;
  Settings next = settings_;
  ProgramUnit unit;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const auto blank = line.find(' ');
    if (blank == std::string::npos) return false;
    unit.nodes = SplitKey(line.substr(0, blank));
    auto found = table_.Find(unit, unit.nodes);
    if (!found || found->row->kind == PropertyKind::kNone || found->row->simulator) return false;
    if (found->suffix < 1 || found->suffix > SuffixLimit(*found->row)) return false;
    Argument arg;
    arg.text = line.substr(blank + 1);
    auto parsed = ParsePropertyValue(*found->row, arg);
    const auto* v = std::get_if<Settings::Value>(&parsed);
    if (v == nullptr) return false;
    next.Set(found->pattern->Key(found->suffix), *v);
  }
  settings_ = std::move(next);
  return true;
}

void Instrument::Execute(Session& session, std::span<const uint8_t> message) {
  session.BeginMessage();
  for (const ProgramUnit& unit : ParseProgramMessage(message)) {
    if (unit.syntax_error != 0) {
      PushError(unit.syntax_error);
      break;
    }
    ExecuteUnit(session, unit);
  }
  session.EndMessage();
}

void Instrument::ExecuteUnit(Session& session, const ProgramUnit& unit) {
  std::optional<CommandTable::Found> found;
  std::vector<std::string> resolved;
  if (!unit.common && !unit.absolute && !session.path_.empty()) {
    // A header after ';' without a leading ':' continues the previous
    // header's path. Hosts also write such headers meaning the root, so a
    // header that names nothing under the path is tried from the root.
    resolved = session.path_;
    resolved.insert(resolved.end(), unit.nodes.begin(), unit.nodes.end());
    found = table_.Find(unit, resolved);
  }
  if (!found) {
    resolved = unit.nodes;
    found = table_.Find(unit, resolved);
  }
  if (!unit.common) {
    resolved.pop_back();
    session.path_ = std::move(resolved);
  }
  if (!found || found->suffix < 1 || found->suffix > SuffixLimit(*found->row)) {
    PushError(error::kUndefinedHeader);
    return;
  }
  const CommandRow& row = *found->row;
  // The device-error fault marks every command except the private ones and
  // the error query itself, so that a host draining the queue can finish.
  if (session.fault() == Fault::kDeviceError && !row.simulator &&
      !row.header.starts_with(":SYSTem:ERRor")) {
    PushError(error::kSystem);
  }
  RunRow(session, unit, *found);
}

void Instrument::RunRow(Session& session, const ProgramUnit& unit,
                        const CommandTable::Found& found) {
  const CommandRow& row = *found.row;
  CommandContext ctx(*this, session, unit, row, *found.pattern, found.suffix);
  if (unit.query) {
    if (row.query != nullptr) {
      row.query(ctx);
    } else if (row.kind != PropertyKind::kNone) {
      if (!ctx.ExpectArgs(0, 0)) return;
      if (const Settings::Value* v = settings_.Find(ctx.Key())) {
        ctx.Reply(FormatPropertyValue(row, *v));
      }
    } else {
      PushError(error::kUndefinedHeader);
    }
    return;
  }
  if (row.set != nullptr) {
    row.set(ctx);
  } else if (row.kind != PropertyKind::kNone) {
    if (ctx.ExpectArgs(1, 1)) ctx.StoreArg(0);
  } else {
    PushError(error::kUndefinedHeader);
  }
}

}  // namespace vex::sim
