// Serial transport on a tty device (termios), for "COMn" addresses.
//
// The line is put in raw mode: no echo, no line editing, no character
// translation, 8-bit clean unless the data size says otherwise. XON/XOFF
// handshake is the tty driver's IXON/IXOFF. DTR/DSR handshake is done here
// with the modem lines: each chunk of a write waits until the device asserts
// DSR. A pseudo-terminal has no modem lines (the ioctls fail with ENOTTY or
// EINVAL); there the lines are "not applicable", which is not an error, and
// DSR is taken as asserted.
//
// Settings and the DTR and RTS levels may be changed at any time: while the
// port is closed they are kept and applied by the next Open (a reopen after
// the device went away included), while it is open at once. Both output
// lines are raised by default.
//
// The port is taken exclusively while open: TIOCEXCL keeps other openers out
// (except privileged ones) and an advisory flock(LOCK_EX) tells cooperating
// programs, root's included, that the line is in use. A port that another
// program holds fails to open with a message that says so.
#pragma once

#include <string>

#include "vex/io/serial_settings.h"
#include "vex/io/transport.h"

namespace vex::io {

class SerialTransport final : public Transport {
 public:
  SerialTransport(std::string device_path, SerialSettings settings);
  ~SerialTransport() override;

  // Opens the device (the deadline is not needed: opening with O_NONBLOCK
  // does not wait for carrier) and applies the settings.
  Status Open(Deadline deadline) override;
  void Close() override;
  bool is_open() const override { return fd_ >= 0; }
  Status Write(std::span<const std::uint8_t> data, Deadline deadline) override;
  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override;
  // Flushes the driver's input queue and anything read-ahead by the device.
  Status DiscardInput() override;
  std::string description() const override { return path_; }
  // The line hung up: the device went away (an adapter pulled) or the other
  // side of a pty closed.
  bool PeerClosed() const override;

  // Changes the line settings; applied at once when open, else at Open.
  // Rates the driver does not know and 1.5 stop bits with more than five
  // data bits fail with kUnsupported (see Check).
  Status ApplySettings(const SerialSettings& settings);
  // Whether the settings are ones this transport can ask the driver for,
  // without a device: the checks ApplySettings makes before touching the line.
  static Status Check(const SerialSettings& settings);
  const SerialSettings& settings() const { return settings_; }
  // The settings the driver reports now (tcgetattr), for checking. A pty
  // always reports eight data bits without parity.
  Result<SerialSettings> ReadSettings() const;

  // Sets the DTR or RTS line: at once while open, at the next Open while
  // closed. Succeeds without effect on a device without modem lines.
  Status SetDtr(bool on);
  Status SetRts(bool on);
  bool dtr() const { return dtr_; }
  bool rts() const { return rts_; }
  // False once a modem-line ioctl found that the device has none (a pty).
  bool has_modem_lines() const { return has_modem_lines_; }

  // The modem input lines as the device reports them now. `present` is false
  // on a device without modem lines, where the levels mean nothing.
  struct ModemInputs {
    bool present = false;
    bool dsr = false;
    bool cts = false;
    bool dcd = false;
  };
  Result<ModemInputs> ReadModemInputs();

  int native_handle() const { return fd_; }

 private:
  Status SetModemLine(int bit, bool on, const char* name);
  Status WaitForDsr(Deadline deadline);
  Status TakeExclusively(int fd);

  std::string path_;
  SerialSettings settings_;
  int fd_ = -1;
  bool has_modem_lines_ = true;
  bool is_pty_ = false;
  bool dtr_ = true;
  bool rts_ = true;
};

}  // namespace vex::io
