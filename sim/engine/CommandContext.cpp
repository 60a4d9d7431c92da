#include "engine/CommandContext.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "engine/ErrorQueue.h"
#include "engine/HeaderPattern.h"
#include "engine/Instrument.h"
#include "engine/Session.h"

namespace vex::sim {

void CommandContext::Reply(std::string_view text) {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  session.AddReply({p, text.size()}, false, row.simulator);
}

void CommandContext::ReplyBlock(std::span<const uint8_t> data) {
  // Eight length digits as hosts of this family expect, nine if ever needed.
  const int digits = data.size() > 99'999'999 ? 9 : 8;
  char header[16];
  std::snprintf(header, sizeof header, "#%d%0*zu", digits, digits, data.size());
  std::vector<uint8_t> bytes(header, header + 2 + digits);
  bytes.insert(bytes.end(), data.begin(), data.end());
  session.AddReply(bytes, true, row.simulator);
}

void CommandContext::Error(int code) {
  instrument.PushError(code);
}

bool CommandContext::StoreArg(std::size_t i) {
  if (i >= unit.args.size()) {
    Error(error::kMissingParameter);
    return false;
  }
  auto parsed = ParsePropertyValue(row, unit.args[i]);
  if (const int* err = std::get_if<int>(&parsed)) {
    Error(*err);
    return false;
  }
  instrument.settings().Set(Key(), std::get<Settings::Value>(parsed));
  return true;
}

bool CommandContext::ExpectArgs(std::size_t min, std::size_t max) {
  if (unit.args.size() < min) {
    Error(error::kMissingParameter);
    return false;
  }
  if (unit.args.size() > max) {
    Error(error::kParameterNotAllowed);
    return false;
  }
  return true;
}

std::optional<double> CommandContext::Number(std::size_t i) {
  double v = 0.0;
  if (i >= unit.args.size() || unit.args[i].kind == Argument::Kind::kBlock ||
      !ParseNumber(unit.args[i].text, v)) {
    Error(error::kDataType);
    return std::nullopt;
  }
  return v;
}

std::optional<int> CommandContext::Channel(std::size_t i) {
  if (i >= unit.args.size()) {
    Error(error::kMissingParameter);
    return std::nullopt;
  }
  return ChannelNamed(unit.args[i].text);
}

std::optional<int> CommandContext::ChannelNamed(std::string_view word) {
  auto n = HeaderPattern::MatchWord("CHANnel#", word);
  if (!n) {
    Error(error::kIllegalParameterValue);
    return std::nullopt;
  }
  if (*n < 1 || *n > instrument.AnalogChannels()) {
    Error(error::kSettingsConflict);
    return std::nullopt;
  }
  return n;
}

bool CommandContext::IsMemoryWord(std::string_view word) {
  std::size_t letters = word.size();
  while (letters > 0 && std::isdigit(static_cast<unsigned char>(word[letters - 1]))) --letters;
  return letters < word.size() && HeaderPattern::MatchWord("PMEMory", word.substr(0, letters));
}

std::optional<int> CommandContext::Memory(std::size_t i) {
  if (i >= unit.args.size()) {
    Error(error::kMissingParameter);
    return std::nullopt;
  }
  const std::string& word = unit.args[i].text;
  if (!IsMemoryWord(word)) {
    Error(error::kIllegalParameterValue);
    return std::nullopt;
  }
  std::size_t digits = word.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(word[digits - 1]))) --digits;
  const std::string number = word.substr(digits);
  if (number.size() > 3 || std::stoi(number) > kMaxMemory) {
    Error(error::kDataOutOfRange);
    return std::nullopt;
  }
  return std::stoi(number);
}

}  // namespace vex::sim
