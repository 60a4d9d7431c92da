// What a command handler sees while it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/CommandRow.h"
#include "engine/HeaderPattern.h"
#include "engine/ProgramParser.h"

namespace vex::sim {

class Instrument;
class Session;

class CommandContext {
 public:
  CommandContext(Instrument& instrument, Session& session, const ProgramUnit& unit,
                 const CommandRow& row, const HeaderPattern& pattern, int suffix)
      : instrument(instrument),
        session(session),
        unit(unit),
        row(row),
        pattern(pattern),
        suffix(suffix) {}

  Instrument& instrument;
  Session& session;
  const ProgramUnit& unit;
  const CommandRow& row;
  const HeaderPattern& pattern;
  int suffix;  // the header's numeric suffix, 1 when it has none

  // The settings key of a property row with this suffix ("CHAN2:DISP").
  std::string Key() const { return pattern.Key(suffix); }
  // Parses argument i as the row's property and stores it; pushes the
  // error and returns false when the value is refused. Property rows with
  // a `set` handler call it after their own checks.
  bool StoreArg(std::size_t i);

  // A text reply unit, without terminator.
  void Reply(std::string_view text);
  // A definite-length block reply unit "#8<len><data>".
  void ReplyBlock(std::span<const uint8_t> data);
  void Error(int code);

  std::size_t ArgCount() const { return unit.args.size(); }
  // Checks the argument count; pushes -109 or -108 and returns false.
  bool ExpectArgs(std::size_t min, std::size_t max);
  // Argument i as a number; pushes -104 and returns nothing when it is not.
  std::optional<double> Number(std::size_t i);
  // Argument i as an analog channel ("CHAN2", "CHANnel2"); pushes -224 for
  // other words and -221 for a channel the model lacks.
  std::optional<int> Channel(std::size_t i);
  std::optional<int> ChannelNamed(std::string_view word);
  // Argument i as a trace memory ("PMEM1", "PMEMory0"): -224 for other
  // words, -222 for a number beyond kMaxMemory.
  std::optional<int> Memory(std::size_t i);
  static bool IsMemoryWord(std::string_view word);
  static constexpr int kMaxMemory = 100;
};

}  // namespace vex::sim
