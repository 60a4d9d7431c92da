#include "vex/io/traffic_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

namespace vex::io {
namespace {

constexpr std::size_t kHexBytes = 32;
// Long text replies are cut here; the length field still gives the full size.
constexpr std::size_t kTextBytes = 256;

bool IsTextByte(std::uint8_t c) {
  return (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r' || c == '\t';
}

bool LooksBinary(std::span<const std::uint8_t> data) {
  std::size_t odd = 0;
  for (std::uint8_t c : data) {
    if (c == 0) return true;
    if (!IsTextByte(c)) ++odd;
  }
  return odd * 10 > data.size();
}

std::string TimeStamp() {
  auto now = std::chrono::system_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  ::gmtime_r(&secs, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(ms % 1000));
  return buf;
}

// Says on standard error that the log `path` cannot be written and why,
// once per process and file: every log object and thread that meets the
// same failure adds nothing.
void ReportUnwritable(const std::string& path, int error) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(path).second) return;
  }
  const char* reason = ::strerrordesc_np(error);
  const std::string line = std::string(program_invocation_short_name) +
                           ": cannot write the I/O log " + path + ": " +
                           (reason ? reason : "error " + std::to_string(error)) + "\n";
  (void)!::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace

TrafficLog::TrafficLog(const std::string& target) : path_(target) {
  if (target == "-" || target == "stderr") {
    fd_ = STDERR_FILENO;
    return;
  }
  fd_ = ::open(target.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
  owns_fd_ = fd_ >= 0;
  if (fd_ < 0) ReportUnwritable(path_, errno);
}

TrafficLog::~TrafficLog() {
  if (owns_fd_) ::close(fd_);
}

TrafficLog* TrafficLog::FromEnvironment() {
  // Never destroyed: sessions held by static objects may still log while the
  // process exits.
  static TrafficLog* log = []() -> TrafficLog* {
    const char* target = std::getenv("VEX_IO_LOG");
    if (!target || !*target) return nullptr;
    auto* l = new TrafficLog(target);
    if (!l->enabled()) {
      delete l;
      return nullptr;
    }
    return l;
  }();
  return log;
}

std::string TrafficLog::FormatMessage(std::string_view address, Direction direction,
                                      std::span<const std::uint8_t> data) {
  std::string line(address);
  line += direction == Direction::kWrite ? " > " : " < ";
  line += std::to_string(data.size());
  static const char kHex[] = "0123456789abcdef";
  if (LooksBinary(data)) {
    line += " hex";
    std::size_t shown = std::min(data.size(), kHexBytes);
    for (std::size_t i = 0; i < shown; ++i) {
      line += ' ';
      line += kHex[data[i] >> 4];
      line += kHex[data[i] & 15];
    }
    if (data.size() > shown) line += " ... (+" + std::to_string(data.size() - shown) + ")";
    return line;
  }
  line += " \"";
  for (std::uint8_t c : data.first(std::min(data.size(), kTextBytes))) {
    switch (c) {
      case '\n':
        line += "\\n";
        break;
      case '\r':
        line += "\\r";
        break;
      case '\t':
        line += "\\t";
        break;
      case '\\':
        line += "\\\\";
        break;
      case '"':
        line += "\\\"";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          line += static_cast<char>(c);
        } else {
          line += "\\x";
          line += kHex[c >> 4];
          line += kHex[c & 15];
        }
    }
  }
  line += '"';
  if (data.size() > kTextBytes) line += " ... (+" + std::to_string(data.size() - kTextBytes) + ")";
  return line;
}

std::string TrafficLog::FormatNote(std::string_view address, std::string_view event) {
  std::string line(address);
  line += " * ";
  // One event, one line: line ends inside a reason are shown as spaces.
  for (char c : event) line += (c == '\n' || c == '\r') ? ' ' : c;
  return line;
}

void TrafficLog::Record(std::string_view address, Direction direction,
                        std::span<const std::uint8_t> data) {
  if (fd_ < 0) return;
  WriteLine(TimeStamp() + ' ' + FormatMessage(address, direction, data) + '\n');
}

void TrafficLog::Note(std::string_view address, std::string_view event) {
  if (fd_ < 0) return;
  WriteLine(TimeStamp() + ' ' + FormatNote(address, event) + '\n');
}

void TrafficLog::WriteLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failed_) return;
  std::size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A failing log must not fail the transfer: it is said once and the
      // messages go on without it.
      failed_ = true;
      if (fd_ != STDERR_FILENO) ReportUnwritable(path_, n < 0 ? errno : EIO);
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace vex::io
