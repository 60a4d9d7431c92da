// Splits one program message into its command units.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vex::sim {

struct Argument {
  enum class Kind { kText, kString, kBlock };
  Kind kind = Kind::kText;
  // Text: the token as written, blanks trimmed. String: the contents without
  // the quotes, doubled quotes undone. Block: the data bytes only.
  std::string text;
  std::vector<uint8_t> block;
};

struct ProgramUnit {
  bool common = false;    // "*IDN?" and friends
  bool absolute = false;  // header written with a leading ':'
  bool query = false;
  std::vector<std::string> nodes;  // "WAV", "FORM"; a common header has one node "IDN"
  std::vector<Argument> args;
  // Non-zero when the unit could not be parsed; the rest of the message is
  // then discarded, as the host cannot know where the next unit starts.
  int syntax_error = 0;
};

// Parses a whole program message (terminator removed). Empty units, such as
// the one after a trailing ';', are skipped.
std::vector<ProgramUnit> ParseProgramMessage(std::span<const uint8_t> message);

}  // namespace vex::sim
