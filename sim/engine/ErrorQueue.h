// The SCPI error queue and the standard event status register bits it feeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vex::sim {

// Error numbers the instrument reports. Negative numbers are the standard
// SCPI ones; the hundreds digit picks the event status bit.
namespace error {
inline constexpr int kNone = 0;
inline constexpr int kCommand = -100;
inline constexpr int kInvalidCharacter = -101;
inline constexpr int kSyntax = -102;
inline constexpr int kInvalidSeparator = -103;
inline constexpr int kDataType = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kInvalidStringData = -151;
inline constexpr int kInvalidBlockData = -161;
inline constexpr int kExecution = -200;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kIllegalParameterValue = -224;
inline constexpr int kSystem = -310;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kQuery = -400;
inline constexpr int kQueryInterrupted = -410;
inline constexpr int kQueryUnterminated = -420;
}  // namespace error

// Bits of the standard event status register (*ESR?).
namespace esr {
inline constexpr uint8_t kOperationComplete = 0x01;
inline constexpr uint8_t kQueryError = 0x04;
inline constexpr uint8_t kDeviceDependentError = 0x08;
inline constexpr uint8_t kExecutionError = 0x10;
inline constexpr uint8_t kCommandError = 0x20;
inline constexpr uint8_t kPowerOn = 0x80;
}  // namespace esr

// The standard text of an error number ("Undefined header" for -113).
std::string_view ErrorText(int code);

// The event status bit an error number sets, 0 for none.
uint8_t EventBitFor(int code);

// First in, first out queue of errors. When full, the newest entry is
// replaced by "Queue overflow" and further errors are lost until the host
// reads some, as SCPI prescribes.
class ErrorQueue {
 public:
  static constexpr std::size_t kCapacity = 30;

  void Push(int code);
  // Removes and returns the oldest entry; "0,\"No error\"" when empty. The
  // short form is the number alone ("-113", "0"), as some models answer.
  std::string Pop(bool short_form = false);
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }

 private:
  std::deque<int> entries_;
};

}  // namespace vex::sim
