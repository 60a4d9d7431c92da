// A log of every message to and from instruments, switched on by the user.
//
// VEX_IO_LOG=<file> appends to that file; "-" or "stderr" writes to standard
// error; unset or empty leaves the log off. One line per message:
//
//   2026-12-08T01:50:12.345Z TCPIP0::127.0.0.1::5025::SOCKET > 6 "*IDN?\n"
//   2026-12-08T01:50:12.351Z GPIB0::7::INSTR < 1000 hex 23 33 31 30 30 ... (+968)
//
// that is: UTC time with milliseconds, the address, ">" for a write or "<"
// for a read, the length in bytes, then either the text in double quotes with
// control characters, quotes and backslashes escaped (\n, \r, \t, \\, \", \xNN),
// (cut after 256 bytes), or, for binary data, "hex" and the first 32 bytes
// with the number of bytes
// not shown. Data counts as binary when more than a tenth of it (or any NUL)
// is neither printable ASCII nor \r, \n, \t. Events on the link itself
// (a connection reopened after the instrument dropped it) are lines with
// "*" in place of the direction and a sentence in place of the data:
//
//   2026-12-08T01:50:13.020Z TCPIP0::127.0.0.1::5025::SOCKET * reopened 127.0.0.1:5025 (...)
//
// Each line is written with one
// write() on a descriptor opened with O_APPEND, under a lock, so lines from
// threads and processes never interleave.
//
// A log file that cannot be opened (a missing folder, a folder, a file
// without write permission) or written (a full disk) is said once per
// process and file on standard error, naming the file and why:
//
//   vexscope: cannot write the I/O log /nonexist/x.log: No such file or directory
//
// and the transfers go on without the log.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace vex::io {

class TrafficLog {
 public:
  enum class Direction { kWrite, kRead };

  // Opens (creates, appends to) a log file; "-" or "stderr" is standard error.
  // An unopenable path leaves the log disabled (said on standard error).
  explicit TrafficLog(const std::string& target);
  ~TrafficLog();
  TrafficLog(const TrafficLog&) = delete;
  TrafficLog& operator=(const TrafficLog&) = delete;

  // The process-wide log from VEX_IO_LOG, read once; nullptr when off.
  static TrafficLog* FromEnvironment();

  bool enabled() const { return fd_ >= 0; }
  void Record(std::string_view address, Direction direction, std::span<const std::uint8_t> data);
  // An event on the link rather than a message ("reopened ...").
  void Note(std::string_view address, std::string_view event);

  // The line Record writes, without the time stamp and new line (for tests
  // and for callers that log elsewhere).
  static std::string FormatMessage(std::string_view address, Direction direction,
                                   std::span<const std::uint8_t> data);
  static std::string FormatNote(std::string_view address, std::string_view event);

 private:
  void WriteLine(const std::string& line);

  std::string path_;
  int fd_ = -1;
  bool owns_fd_ = false;
  bool failed_ = false;  // a write failed: nothing more is written
  std::mutex mutex_;
};

}  // namespace vex::io
