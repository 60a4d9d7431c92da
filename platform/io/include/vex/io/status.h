// Result and status of the transport layer.
//
// The transport layer has no dependency on the automation runtime: it reports
// failures with this small status (an error class, the errno where the system
// gave one, and a message that names what failed). The I/O objects above map
// it to their own status codes.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vex::io {

enum class Errc {
  kOk = 0,
  kTimeout,          // the deadline passed before the transfer completed
  kClosed,           // the peer closed the connection or the line hung up
  kIoError,          // a system call failed; sys_errno() holds errno
  kBadAddress,       // an address string that the grammar rejects
  kTooLarge,         // a block or message larger than the configured cap
  kMalformed,        // a reply that does not follow the expected framing
  kTruncated,        // a message ended (END) before its announced length
  kNotOpen,          // an operation on a transport that is not open
  kUnsupported,      // a setting or bus that this system cannot serve
  kInvalidArgument,  // a bad argument from the caller
  kBusy,             // the session is in the middle of another transfer
};

// Short lower-case name of an error class ("timeout", "closed", ...).
const char* ErrcName(Errc code);

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Errc code, std::string message, int sys_errno = 0)
      : code_(code), sys_errno_(sys_errno), message_(std::move(message)) {}

  // A failed system call: the message becomes "<what>: <strerror> (errno N)".
  static Status FromErrno(std::string what, int err);

  bool ok() const { return code_ == Errc::kOk; }
  explicit operator bool() const { return ok(); }
  Errc code() const { return code_; }
  int sys_errno() const { return sys_errno_; }
  const std::string& message() const { return message_; }
  // "<name>: <message>", or "ok".
  std::string ToString() const;

 private:
  Errc code_ = Errc::kOk;
  int sys_errno_ = 0;
  std::string message_;
};

// A value or the status that explains why there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  Result(Status status) : status_(std::move(status)) {
    if (status_.ok()) status_ = Status(Errc::kInvalidArgument, "result without a value");
  }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace vex::io
