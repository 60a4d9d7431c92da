#include "engine/ErrorQueue.h"

#include <array>
#include <utility>

namespace vex::sim {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 26> kTexts{{
    {error::kNone, "No error"},
    {error::kCommand, "Command error"},
    {error::kInvalidCharacter, "Invalid character"},
    {error::kSyntax, "Syntax error"},
    {error::kInvalidSeparator, "Invalid separator"},
    {error::kDataType, "Data type error"},
    {error::kParameterNotAllowed, "Parameter not allowed"},
    {error::kMissingParameter, "Missing parameter"},
    {error::kUndefinedHeader, "Undefined header"},
    {error::kInvalidStringData, "Invalid string data"},
    {error::kInvalidBlockData, "Invalid block data"},
    {error::kExecution, "Execution error"},
    {error::kSettingsConflict, "Settings conflict"},
    {error::kDataOutOfRange, "Data out of range"},
    {error::kIllegalParameterValue, "Illegal parameter value"},
    {-300, "Device-specific error"},
    {error::kSystem, "System error"},
    {error::kQueueOverflow, "Queue overflow"},
    {error::kQuery, "Query error"},
    {error::kQueryInterrupted, "Query INTERRUPTED"},
    {error::kQueryUnterminated, "Query UNTERMINATED"},
    {-430, "Query DEADLOCKED"},
    {-440, "Query UNTERMINATED after indefinite response"},
    {-114, "Header suffix out of range"},
    {-223, "Too much data"},
    {-160, "Block data error"},
}};

}  // namespace

std::string_view ErrorText(int code) {
  for (const auto& [number, text] : kTexts) {
    if (number == code) return text;
  }
  return "Unknown error";
}

uint8_t EventBitFor(int code) {
  if (code <= -100 && code > -200) return esr::kCommandError;
  if (code <= -200 && code > -300) return esr::kExecutionError;
  if (code <= -300 && code > -400) return esr::kDeviceDependentError;
  if (code <= -400 && code > -500) return esr::kQueryError;
  return 0;
}

void ErrorQueue::Push(int code) {
  if (entries_.size() >= kCapacity) {
    entries_.back() = error::kQueueOverflow;
    return;
  }
  entries_.push_back(code);
}

std::string ErrorQueue::Pop(bool short_form) {
  int code = error::kNone;
  if (!entries_.empty()) {
    code = entries_.front();
    entries_.pop_front();
  }
  std::string reply = std::to_string(code);
  if (short_form) return reply;
  reply += ",\"";
  reply += ErrorText(code);
  reply += '"';
  return reply;
}

}  // namespace vex::sim
