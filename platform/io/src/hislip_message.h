// The 16-byte message header of IVI-6.1 HiSLIP, shared by the client
// transport and its tests: 'H' 'S', the message type, a control code, a
// 32-bit message parameter and a 64-bit payload length, both big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vex::io::hislip {

inline constexpr std::size_t kHeaderSize = 16;

enum class Type : std::uint8_t {
  kInitialize = 0,
  kInitializeResponse = 1,
  kFatalError = 2,
  kError = 3,
  kAsyncLock = 4,
  kAsyncLockResponse = 5,
  kData = 6,
  kDataEnd = 7,
  kDeviceClearComplete = 8,
  kDeviceClearAcknowledge = 9,
  kAsyncRemoteLocalControl = 10,
  kAsyncRemoteLocalResponse = 11,
  kTrigger = 12,
  kInterrupted = 13,
  kAsyncInterrupted = 14,
  kAsyncMaximumMessageSize = 15,
  kAsyncMaximumMessageSizeResponse = 16,
  kAsyncInitialize = 17,
  kAsyncInitializeResponse = 18,
  kAsyncDeviceClear = 19,
  kAsyncServiceRequest = 20,
  kAsyncStatusQuery = 21,
  kAsyncStatusResponse = 22,
  kAsyncDeviceClearAcknowledge = 23,
  kAsyncLockInfo = 24,
  kAsyncLockInfoResponse = 25,
};

struct Header {
  std::uint8_t type = 0;
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::uint64_t length = 0;
};

inline Header Make(Type type, std::uint8_t control, std::uint32_t parameter, std::uint64_t length) {
  return Header{static_cast<std::uint8_t>(type), control, parameter, length};
}

void Encode(const Header& header, std::uint8_t (&out)[kHeaderSize]);
// The header, or nothing when the bytes do not start with "HS".
std::optional<Header> Decode(std::span<const std::uint8_t, kHeaderSize> bytes);

// "DataEnd", "FatalError", ...; "type N" for a number outside the table.
std::string TypeName(std::uint8_t type);

// The text of a FatalError or Error code.
const char* FatalErrorText(std::uint8_t code);
const char* ErrorText(std::uint8_t code);

}  // namespace vex::io::hislip
