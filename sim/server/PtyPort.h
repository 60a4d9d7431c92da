// A pseudo-terminal that stands in for the instrument's serial port.
#pragma once

#include <optional>
#include <string>

namespace vex::sim {

// The simulator keeps the master side; the host opens the slave path as if
// it were a serial port. The simulator also holds the slave open itself, so
// the line and its settings persist while hosts open and close it, and the
// master never sees a hang-up.
class PtyPort {
 public:
  PtyPort() = default;
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;
  ~PtyPort();

  // Creates the pty with the line in raw mode (no echo, no line editing,
  // 8 data bits) at 9600 baud. False with `error` set on failure.
  bool Open(std::string& error);

  int master_fd() const { return master_; }
  const std::string& path() const { return path_; }

  // The line settings the host last set, as
  // "<baud>,<data bits>,<NONE|ODD|EVEN|MARK|SPACE>,<1|2>,<NONE|RTSCTS|XONXOFF>".
  std::optional<std::string> LineSettings() const;

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

}  // namespace vex::sim
