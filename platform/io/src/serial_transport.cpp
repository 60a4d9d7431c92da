#include "vex/io/serial_transport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "fd_io.h"
#include "vex/io/serial_ports.h"

namespace vex::io {
namespace {

struct BaudEntry {
  int rate;
  speed_t code;
};

constexpr BaudEntry kBaudTable[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(int rate, speed_t* code) {
  for (const auto& e : kBaudTable) {
    if (e.rate == rate) {
      *code = e.code;
      return true;
    }
  }
  return false;
}

int SpeedRate(speed_t code) {
  for (const auto& e : kBaudTable)
    if (e.code == code) return e.rate;
  return 0;
}

// The modem-line ioctls fail like this on a device that has no modem lines.
bool NoModemLines(int err) {
  return err == ENOTTY || err == EINVAL;
}

// Data is written in chunks of this size under DTR/DSR handshake, so that a
// device dropping DSR stops the flow within one chunk.
constexpr std::size_t kDsrChunk = 64;

// Device majors of Unix98 pty slaves (/dev/pts/N).
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

}  // namespace

SerialTransport::SerialTransport(std::string device_path, SerialSettings settings)
    : path_(std::move(device_path)), settings_(settings) {}

SerialTransport::~SerialTransport() {
  Close();
}

namespace {

// The line's state outlives an open: a stop character (0x13) that came in
// with binary data under XON/XOFF leaves output suspended for every later
// opener. The driver resumes output suspended that way only on a start
// character or when XON/XOFF output control is turned off, so it is turned
// off here (the settings applied next turn it back on), and output that
// tcflow(TCOOFF) suspended is resumed too.
void ResumeOutput(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) == 0 && (t.c_iflag & IXON) != 0) {
    t.c_iflag &= ~static_cast<tcflag_t>(IXON);
    ::tcsetattr(fd, TCSANOW, &t);
  }
  ::tcflow(fd, TCOON);
}

}  // namespace

Status SerialTransport::Open(Deadline) {
  Close();
  int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    // TIOCEXCL of another opener makes open fail with EBUSY.
    if (err == EBUSY)
      return Status(Errc::kIoError,
                    path_ + " is in use by another program, which holds it exclusively", err);
    return Status::FromErrno("open " + path_, err);
  }
  if (!::isatty(fd)) {
    ::close(fd);
    return Status(Errc::kIoError, path_ + " is not a terminal device");
  }
  if (Status st = TakeExclusively(fd); !st.ok()) {
    ::close(fd);
    return st;
  }
  fd_ = fd;
  has_modem_lines_ = true;
  struct stat st_buf {};
  is_pty_ = ::fstat(fd, &st_buf) == 0 && major(st_buf.st_rdev) >= kPtySlaveMajorFirst &&
            major(st_buf.st_rdev) <= kPtySlaveMajorLast;
  ResumeOutput(fd);
  Status st = ApplySettings(settings_);
  if (st.ok()) st = SetDtr(dtr_);
  if (st.ok()) st = SetRts(rts_);
  if (!st.ok()) {
    Close();
    return st;
  }
  // An earlier opener may have stopped the instrument's output: with
  // XON/XOFF it gets a start character. Input left from before is dropped.
  if (settings_.handshake == Handshake::kXonXoff) ::tcflow(fd_, TCION);
  ::tcflush(fd_, TCIFLUSH);
  return {};
}

Status SerialTransport::TakeExclusively(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    if (err != EWOULDBLOCK) return Status::FromErrno("lock " + path_, err);
    PortHolder holder = ProbePortHolder(path_);
    std::string who = holder.pid > 0 ? "process " + std::to_string(holder.pid) : "another program";
    return Status(Errc::kIoError, path_ + " is in use: " + who + " holds its lock", EBUSY);
  }
  // Privileged openers pass TIOCEXCL, and a pty refuses it on some kernels;
  // the lock above is what every cooperating program checks.
  (void)::ioctl(fd, TIOCEXCL);
  return {};
}

void SerialTransport::Close() {
  if (fd_ >= 0) {
    // The exclusive flag belongs to the tty, which outlives this descriptor
    // while another side holds it open (the master of a pty).
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }
}

Status SerialTransport::Check(const SerialSettings& s) {
  speed_t speed;
  if (!SpeedCode(s.baud, &speed))
    return Status(Errc::kUnsupported,
                  "baud rate " + std::to_string(s.baud) + " is not supported by the serial driver");
  if (s.data_bits < 5 || s.data_bits > 8)
    return Status(Errc::kUnsupported,
                  "data size " + std::to_string(s.data_bits) + " is not 5 to 8");
  // termios has one "two stop bits" flag, which the UART turns into 1.5 stop
  // bits at five data bits.
  if (s.stop_bits == StopBits::kOneAndHalf && s.data_bits != 5)
    return Status(Errc::kUnsupported, "1.5 stop bits need a data size of 5");
  return {};
}

Status SerialTransport::ApplySettings(const SerialSettings& s) {
  if (Status checked = Check(s); !checked.ok())
    return Status(checked.code(), path_ + ": " + checked.message());
  speed_t speed = B9600;
  SpeedCode(s.baud, &speed);
  if (fd_ < 0) {
    settings_ = s;
    return {};
  }
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return Status::FromErrno("tcgetattr " + path_, errno);
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (s.data_bits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }
  switch (s.parity) {
    case Parity::kNone:
      break;
    case Parity::kOdd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case Parity::kEven:
      t.c_cflag |= PARENB;
      break;
    case Parity::kMark:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case Parity::kSpace:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (s.stop_bits != StopBits::kOne) t.c_cflag |= CSTOPB;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (s.handshake == Handshake::kXonXoff) t.c_iflag |= IXON | IXOFF;
  // Reads never wait in the driver: the transport waits with poll().
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  int rc = ::tcsetattr(fd_, TCSANOW, &t);
  if (rc != 0 && errno == EINVAL && is_pty_) {
    // A pty forces eight bits without parity, and the C library reports the
    // refused framing as EINVAL. A pty has no wire to frame: apply the rest.
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR);
    t.c_cflag |= CS8;
    rc = ::tcsetattr(fd_, TCSANOW, &t);
  }
  if (rc != 0) return Status::FromErrno("tcsetattr " + path_, errno);
  // tcsetattr succeeds when any part of the change was made; drivers drop
  // what their hardware cannot do (mark and space parity on many USB
  // adapters), so check what the line holds now.
  const SerialSettings previous = settings_;
  settings_ = s;
  auto now = ReadSettings();
  // A pty forces eight bits without parity (it has no wire to frame):
  // there only the rest is checked, and the stop-bit flag alone (read back
  // at eight bits, 1.5 stop bits look like two).
  const bool framing_differs =
      now.ok() && !is_pty_ && (now->data_bits != s.data_bits || now->parity != s.parity);
  const bool stop_differs =
      now.ok() && (is_pty_ ? (now->stop_bits == StopBits::kOne) != (s.stop_bits == StopBits::kOne)
                           : now->stop_bits != s.stop_bits);
  if (now.ok() && (framing_differs || stop_differs || now->baud != s.baud)) {
    settings_ = previous;
    return Status(Errc::kUnsupported,
                  path_ + ": the serial driver did not accept " + std::to_string(s.baud) +
                      " baud, " + std::to_string(s.data_bits) + " data bits, parity " +
                      ParityName(s.parity) + ", " + StopBitsName(s.stop_bits) + " stop bits");
  }
  return {};
}

Result<SerialSettings> SerialTransport::ReadSettings() const {
  if (fd_ < 0) return Status(Errc::kNotOpen, path_ + " is not open");
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return Status::FromErrno("tcgetattr " + path_, errno);
  SerialSettings s;
  s.baud = SpeedRate(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      s.data_bits = 5;
      break;
    case CS6:
      s.data_bits = 6;
      break;
    case CS7:
      s.data_bits = 7;
      break;
    default:
      s.data_bits = 8;
      break;
  }
  if (!(t.c_cflag & PARENB))
    s.parity = Parity::kNone;
  else if (t.c_cflag & CMSPAR)
    s.parity = (t.c_cflag & PARODD) ? Parity::kMark : Parity::kSpace;
  else
    s.parity = (t.c_cflag & PARODD) ? Parity::kOdd : Parity::kEven;
  if (t.c_cflag & CSTOPB)
    s.stop_bits = s.data_bits == 5 ? StopBits::kOneAndHalf : StopBits::kTwo;
  else
    s.stop_bits = StopBits::kOne;
  // The handshake is reported as configured: DTR/DSR lives in this class,
  // XON/XOFF in the driver's flags.
  if (t.c_iflag & (IXON | IXOFF))
    s.handshake = Handshake::kXonXoff;
  else if (settings_.handshake == Handshake::kDtrDsr)
    s.handshake = Handshake::kDtrDsr;
  else
    s.handshake = Handshake::kNone;
  return s;
}

Status SerialTransport::SetModemLine(int bit, bool on, const char* name) {
  if (fd_ < 0 || !has_modem_lines_) return {};
  int bits = bit;
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
    if (NoModemLines(errno)) {
      has_modem_lines_ = false;
      return {};
    }
    return Status::FromErrno(std::string("set ") + name + " on " + path_, errno);
  }
  return {};
}

Status SerialTransport::SetDtr(bool on) {
  Status st = SetModemLine(TIOCM_DTR, on, "DTR");
  if (st.ok()) dtr_ = on;
  return st;
}

Status SerialTransport::SetRts(bool on) {
  Status st = SetModemLine(TIOCM_RTS, on, "RTS");
  if (st.ok()) rts_ = on;
  return st;
}

Result<SerialTransport::ModemInputs> SerialTransport::ReadModemInputs() {
  if (fd_ < 0) return Status(Errc::kNotOpen, path_ + " is not open");
  ModemInputs in;
  if (!has_modem_lines_) return in;
  int bits = 0;
  if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
    if (NoModemLines(errno)) {
      has_modem_lines_ = false;
      return in;
    }
    return Status::FromErrno("read modem lines of " + path_, errno);
  }
  in.present = true;
  in.dsr = (bits & TIOCM_DSR) != 0;
  in.cts = (bits & TIOCM_CTS) != 0;
  in.dcd = (bits & TIOCM_CAR) != 0;
  return in;
}

Status SerialTransport::WaitForDsr(Deadline deadline) {
  for (;;) {
    if (!has_modem_lines_) return {};
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
      if (NoModemLines(errno)) {
        has_modem_lines_ = false;
        return {};
      }
      return Status::FromErrno("read modem lines of " + path_, errno);
    }
    if (bits & TIOCM_DSR) return {};
    if (Clock::now() >= deadline)
      return Status(Errc::kTimeout, "timed out waiting for DSR on " + path_);
    // TIOCMIWAIT has no timeout; a short sleep bounded by the deadline keeps
    // the wait interruptible by it.
    SleepUntil(std::min(Clock::now() + std::chrono::milliseconds(5), deadline));
  }
}

Status SerialTransport::Write(std::span<const std::uint8_t> data, Deadline deadline) {
  if (fd_ < 0) return Status(Errc::kNotOpen, path_ + " is not open");
  if (settings_.handshake != Handshake::kDtrDsr)
    return detail::WriteAll(fd_, detail::FdKind::kTty, data, deadline, path_);
  std::size_t done = 0;
  while (done < data.size()) {
    Status st = WaitForDsr(deadline);
    if (!st.ok()) {
      if (done > 0)
        return Status(st.code(), st.message() + " after " + std::to_string(done) + " of " +
                                     std::to_string(data.size()) + " bytes");
      return st;
    }
    std::size_t n = has_modem_lines_ ? std::min(kDsrChunk, data.size() - done) : data.size() - done;
    st = detail::WriteAll(fd_, detail::FdKind::kTty, data.subspan(done, n), deadline, path_);
    if (!st.ok()) return st;
    done += n;
  }
  return {};
}

Result<ReadResult> SerialTransport::Read(std::span<std::uint8_t> buffer, Deadline deadline) {
  if (fd_ < 0) return Status(Errc::kNotOpen, path_ + " is not open");
  if (buffer.empty()) return ReadResult{};
  return detail::ReadSome(fd_, detail::FdKind::kTty, buffer, deadline, path_);
}

bool SerialTransport::PeerClosed() const {
  return detail::PeerGone(fd_);
}

Status SerialTransport::DiscardInput() {
  if (fd_ < 0) return Status(Errc::kNotOpen, path_ + " is not open");
  ::tcflush(fd_, TCIFLUSH);
  detail::DrainInput(fd_, detail::FdKind::kTty);
  return {};
}

}  // namespace vex::io
