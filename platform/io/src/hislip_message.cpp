#include "hislip_message.h"

namespace vex::io::hislip {

void Encode(const Header& header, std::uint8_t (&out)[kHeaderSize]) {
  out[0] = 'H';
  out[1] = 'S';
  out[2] = header.type;
  out[3] = header.control;
  for (int i = 0; i < 4; ++i)
    out[4 + i] = static_cast<std::uint8_t>(header.parameter >> (24 - 8 * i));
  for (int i = 0; i < 8; ++i) out[8 + i] = static_cast<std::uint8_t>(header.length >> (56 - 8 * i));
}

std::optional<Header> Decode(std::span<const std::uint8_t, kHeaderSize> bytes) {
  if (bytes[0] != 'H' || bytes[1] != 'S') return std::nullopt;
  Header h;
  h.type = bytes[2];
  h.control = bytes[3];
  for (int i = 0; i < 4; ++i) h.parameter = (h.parameter << 8) | bytes[4 + i];
  for (int i = 0; i < 8; ++i) h.length = (h.length << 8) | bytes[8 + i];
  return h;
}

std::string TypeName(std::uint8_t type) {
  static constexpr const char* kNames[] = {
      "Initialize",
      "InitializeResponse",
      "FatalError",
      "Error",
      "AsyncLock",
      "AsyncLockResponse",
      "Data",
      "DataEnd",
      "DeviceClearComplete",
      "DeviceClearAcknowledge",
      "AsyncRemoteLocalControl",
      "AsyncRemoteLocalResponse",
      "Trigger",
      "Interrupted",
      "AsyncInterrupted",
      "AsyncMaximumMessageSize",
      "AsyncMaximumMessageSizeResponse",
      "AsyncInitialize",
      "AsyncInitializeResponse",
      "AsyncDeviceClear",
      "AsyncServiceRequest",
      "AsyncStatusQuery",
      "AsyncStatusResponse",
      "AsyncDeviceClearAcknowledge",
      "AsyncLockInfo",
      "AsyncLockInfoResponse",
  };
  if (type < std::size(kNames)) return kNames[type];
  return "type " + std::to_string(type);
}

const char* FatalErrorText(std::uint8_t code) {
  switch (code) {
    case 0:
      return "unidentified error";
    case 1:
      return "poorly formed message header";
    case 2:
      return "attempt to use a connection without both channels established";
    case 3:
      return "invalid initialization sequence";
    case 4:
      return "server refused the connection: too many clients";
    default:
      return "fatal error";
  }
}

const char* ErrorText(std::uint8_t code) {
  switch (code) {
    case 0:
      return "unidentified error";
    case 1:
      return "unrecognized message type";
    case 2:
      return "unrecognized control code";
    case 3:
      return "unrecognized vendor-defined message";
    case 4:
      return "message too large";
    default:
      return "error";
  }
}

}  // namespace vex::io::hislip
