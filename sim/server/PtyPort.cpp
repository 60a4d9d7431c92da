#include "server/PtyPort.h"

#include <fcntl.h>
#include <termios.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "server/FdIo.h"

namespace vex::sim {

namespace {

constexpr std::array<std::pair<speed_t, long>, 30> kSpeeds{{
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
}};

long BaudOf(speed_t speed) {
  for (const auto& [code, baud] : kSpeeds) {
    if (code == speed) return baud;
  }
  return 0;
}

}  // namespace

PtyPort::~PtyPort() {
  CloseFd(slave_);
  CloseFd(master_);
}

bool PtyPort::Open(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("posix_openpt: ") + std::strerror(errno);
    return false;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("ptsname: ") + std::strerror(errno);
    return false;
  }
  path_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    error = "open " + path_ + ": " + std::strerror(errno);
    return false;
  }
  termios t{};
  if (tcgetattr(slave_, &t) != 0) {
    error = std::string("tcgetattr: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  if (tcsetattr(slave_, TCSANOW, &t) != 0 || !SetNonBlocking(master_)) {
    error = std::string("tcsetattr: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::optional<std::string> PtyPort::LineSettings() const {
  termios t{};
  if (tcgetattr(slave_, &t) != 0) return std::nullopt;
  std::string s = std::to_string(BaudOf(cfgetospeed(&t)));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      s += ",5";
      break;
    case CS6:
      s += ",6";
      break;
    case CS7:
      s += ",7";
      break;
    default:
      s += ",8";
      break;
  }
  if ((t.c_cflag & PARENB) == 0) {
    s += ",NONE";
  } else if ((t.c_cflag & CMSPAR) != 0) {
    s += (t.c_cflag & PARODD) != 0 ? ",MARK" : ",SPACE";
  } else {
    s += (t.c_cflag & PARODD) != 0 ? ",ODD" : ",EVEN";
  }
  s += (t.c_cflag & CSTOPB) != 0 ? ",2" : ",1";
  if ((t.c_cflag & CRTSCTS) != 0) {
    s += ",RTSCTS";
  } else if ((t.c_iflag & (IXON | IXOFF)) != 0) {
    s += ",XONXOFF";
  } else {
    s += ",NONE";
  }
  return s;
}

}  // namespace vex::sim
