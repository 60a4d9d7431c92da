// IVI-6.1 HiSLIP message framing: the 16-byte header and its constants.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vex::sim::hislip {

inline constexpr std::size_t kHeaderSize = 16;

enum class Type : uint8_t {
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

// Codes of a FatalError message; the connection closes after it.
enum class FatalCode : uint8_t {
  kUnidentified = 0,
  kBadHeader = 1,               // poorly formed message header
  kChannelsNotEstablished = 2,  // used before both channels were set up
  kInvalidInitialization = 3,   // invalid initialization sequence
  kTooManyClients = 4,
};

// Codes of an Error message; the connection stays.
enum class ErrorCode : uint8_t {
  kUnidentified = 0,
  kUnrecognizedType = 1,
  kUnrecognizedControlCode = 2,
  kUnrecognizedVendorType = 3,
  kMessageTooLarge = 4,
};

// AsyncLock control codes, and those of its response.
inline constexpr uint8_t kLockRelease = 0;
inline constexpr uint8_t kLockRequest = 1;
inline constexpr uint8_t kLockFailure = 0;
inline constexpr uint8_t kLockSuccess = 1;  // granted, or an exclusive lock released
inline constexpr uint8_t kLockSharedReleased = 2;
inline constexpr uint8_t kLockError = 3;

// Protocol versions as they sit in the upper half of the parameter.
inline constexpr uint16_t kVersion1_0 = 0x0100;
inline constexpr uint16_t kVersion2_0 = 0x0200;

struct Header {
  uint8_t type = 0;
  uint8_t control = 0;
  uint32_t parameter = 0;
  uint64_t length = 0;  // payload bytes that follow
};

// The header at the start of `bytes` (at least kHeaderSize of them), or
// nothing when it does not begin with the "HS" prologue.
std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes);

// A whole message: header and payload.
std::vector<uint8_t> Encode(Type type, uint8_t control, uint32_t parameter,
                            std::span<const uint8_t> payload = {});
std::vector<uint8_t> Encode(Type type, uint8_t control, uint32_t parameter, std::string_view text);

// Big-endian helpers for the 8-byte payload of the size messages.
uint64_t ReadU64(std::span<const uint8_t> bytes);
void AppendU64(std::vector<uint8_t>& out, uint64_t value);

}  // namespace vex::sim::hislip
