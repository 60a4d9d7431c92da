#include "vex/io/status.h"

#include <cstring>
#include <string>

namespace vex::io {

const char* ErrcName(Errc code) {
  switch (code) {
    case Errc::kOk:
      return "ok";
    case Errc::kTimeout:
      return "timeout";
    case Errc::kClosed:
      return "closed";
    case Errc::kIoError:
      return "I/O error";
    case Errc::kBadAddress:
      return "bad address";
    case Errc::kTooLarge:
      return "too large";
    case Errc::kMalformed:
      return "malformed reply";
    case Errc::kTruncated:
      return "truncated";
    case Errc::kNotOpen:
      return "not open";
    case Errc::kUnsupported:
      return "unsupported";
    case Errc::kInvalidArgument:
      return "invalid argument";
    case Errc::kBusy:
      return "busy";
  }
  return "unknown";
}

Status Status::FromErrno(std::string what, int err) {
  char buf[256];
  // GNU strerror_r returns the text, which may or may not live in buf.
  const char* text = strerror_r(err, buf, sizeof buf);
  return Status(Errc::kIoError, what + ": " + text + " (errno " + std::to_string(err) + ")", err);
}

std::string Status::ToString() const {
  if (ok()) return "ok";
  return std::string(ErrcName(code_)) + ": " + message_;
}

}  // namespace vex::io
