#include "engine/CommandContext.h"

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

}  // namespace vex::sim
