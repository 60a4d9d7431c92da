#include "cdebug.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>

namespace vex::control {
namespace {

constexpr const char* kKeyEvent = "DebugEnableEvent";
constexpr const char* kKeyMessageBox = "DebugEnableMessageBox";
constexpr const char* kKeyMessageLog = "DebugEnableMessageLog";
constexpr const char* kKeyAssert = "DebugAssert";
constexpr const char* kCrLf = "\r\n";

// Says on standard error that the log file `path` cannot be written and
// why: once per process and file, however many loggers and threads meet
// the same failure, so a broken log costs one line and not one per entry.
void ReportUnwritable(const std::string& path, const std::string& reason) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(path).second) return;
  }
  const std::string line = std::string(program_invocation_short_name) +
                           ": cannot write the debug log " + path + ": " + reason + "\n";
  (void)!::write(STDERR_FILENO, line.data(), line.size());
}

// The system's message for `error`, in English whatever the locale.
std::string ErrorText(int error) {
  if (const char* text = ::strerrordesc_np(error)) return text;
  return "error " + std::to_string(error);
}

bool IsDirectory(const char* path) {
  struct stat info {};
  return path && *path && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::string WithSlash(std::string folder) {
  if (folder.back() != '/') folder += '/';
  return folder;
}

// Now, in the locale's short time and date formats.
std::string TimeAndDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char time_text[128] = "";
  char date_text[128] = "";
  std::strftime(time_text, sizeof time_text, "%X", &local);
  std::strftime(date_text, sizeof date_text, "%x", &local);
  return std::string(time_text) + " " + date_text;
}

// False with errno set when a write fails.
bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadFlag(com::IPropertyBag* bag, const char* key) {
  com::Variant value(false);
  if (com::FAILED(bag->Read(com::Bstr(key), &value, nullptr))) return false;
  return value.vt() == com::VT_BOOL && value.BoolVal() != com::VARIANT_FALSE;
}

}  // namespace

CDebug::CDebug(std::string fallback_folder) : fallback_folder_(std::move(fallback_folder)) {}

CDebug& CDebug::ForThisThread() {
  thread_local CDebug logger;
  return logger;
}

std::string CDebug::LogFolder(const char* tmpdir, const std::string& fallback) {
  if (IsDirectory(tmpdir)) return WithSlash(tmpdir);
  if (IsDirectory(fallback.c_str())) return WithSlash(fallback);
  return {};
}

std::string CDebug::FormatReport(std::int32_t code, std::string_view text, std::string_view module,
                                 std::string_view procedure, std::string_view location) {
  char code_text[64];
  std::snprintf(code_text, sizeof code_text, "Error Code: %d 0x%X", code,
                static_cast<std::uint32_t>(code));
  std::string report = std::string(code_text) + kCrLf;
  if (!text.empty()) report.append(text).append(kCrLf);
  report += "At: " + TimeAndDate() + kCrLf;
  if (!module.empty()) report.append("File: ").append(module).append(kCrLf);
  if (!procedure.empty()) report.append("Function: ").append(procedure).append(kCrLf);
  if (!location.empty()) report.append("Location: ").append(location).append(kCrLf);
  report += kCrLf;
  return report;
}

std::string CDebug::FormatTrace(std::string_view text, std::string_view module,
                                std::string_view procedure, std::string_view location) {
  // "Trace: " keeps its space before the location part even with no text
  // ("Trace:  -- At: ..."); only a line with nothing at all is "Trace:".
  const bool at = !module.empty() || !procedure.empty() || !location.empty();
  std::string line = text.empty() && !at ? "Trace:" : "Trace: " + std::string(text);
  if (at) {
    line += " -- At: ";
    if (!module.empty()) line.append("File: ").append(module).append("; ");
    if (!procedure.empty()) line.append("Function: ").append(procedure).append("; ");
    if (!location.empty()) line.append("Location: ").append(location);
  }
  return line + kCrLf;
}

void CDebug::Assert(bool condition, std::string_view condition_text, std::string_view module,
                    std::string_view procedure, std::string_view location) {
  if (condition || !AnyOutput()) return;
  const std::string message =
      condition_text.empty() ? std::string() : "Assertion: " + std::string(condition_text);
  Output(FormatReport(kAssertionCode, message, module, procedure, location));
}

void CDebug::Message(std::int32_t code, std::string_view text, std::string_view module,
                     std::string_view procedure, std::string_view location) {
  if (!AnyOutput()) return;
  Output(FormatReport(code, text, module, procedure, location));
}

void CDebug::Trace(std::string_view text, std::string_view module, std::string_view procedure,
                   std::string_view location) {
  if (!log_file_) return;
  AppendToLog(FormatTrace(text, module, procedure, location) + kCrLf);
}

void CDebug::AppendToLog(const std::string& text) {
  const int fd = OpenLog(false);
  if (fd < 0) return;
  if (!WriteAll(fd, text)) ReportUnwritable(log_path_, ErrorText(errno));
  ::close(fd);
}

void CDebug::Output(const std::string& text) {
  if (events_ && sink_) sink_->SupportMessage(text);
  if (log_file_) AppendToLog(text + kCrLf);
  if (message_box_ && toolkit_) {
    ui::MessageBoxRequest box;
    box.title = kBoxTitle;
    box.text = text;
    box.flags = ui::mb::kOkOnly | ui::mb::kInformation | ui::mb::kForeground;
    (void)toolkit_->ShowMessageBox(0, box);
  }
}

com::HRESULT CDebug::WriteProperties(com::IPropertyBag* bag) const {
  if (!bag) return com::E_POINTER;
  const std::pair<const char*, bool> flags[] = {{kKeyEvent, events_},
                                                {kKeyMessageBox, message_box_},
                                                {kKeyMessageLog, log_file_},
                                                {kKeyAssert, assert_}};
  for (const auto& [key, on] : flags) {
    const com::HRESULT hr = bag->Write(com::Bstr(key), com::Variant(on));
    if (com::FAILED(hr)) return hr;
  }
  return com::S_OK;
}

com::HRESULT CDebug::ReadProperties(com::IPropertyBag* bag) {
  if (!bag) return com::E_POINTER;
  events_ = ReadFlag(bag, kKeyEvent);
  message_box_ = ReadFlag(bag, kKeyMessageBox);
  log_file_ = ReadFlag(bag, kKeyMessageLog);
  assert_ = ReadFlag(bag, kKeyAssert);
  if (log_file_) RecreateLogFile();
  return com::S_OK;
}

void CDebug::SetDebugMode(std::int32_t mode) {
  if (mode == CalculateMode()) return;
  message_box_ = (mode & kMessageBox) != 0;
  log_file_ = (mode & kLogFile) != 0;
  events_ = (mode & kEvents) != 0;
  assert_ = (mode & kAssert) != 0;
  if (log_file_) RecreateLogFile();
  if (sink_) sink_->PropertyChanged("DebugMode");
}

std::int32_t CDebug::CalculateMode() const {
  return (message_box_ ? kMessageBox : 0) | (log_file_ ? kLogFile : 0) | (events_ ? kEvents : 0) |
         (assert_ ? kAssert : 0);
}

void CDebug::RecreateLogFile() {
  const std::string folder = LogFolder(std::getenv("TMPDIR"), fallback_folder_);
  log_path_ = folder.empty() ? std::string() : folder + kLogFileName;
  if (folder.empty() && !fallback_folder_.empty()) {
    // Named by the folder it would have gone into last, with why that
    // folder could not hold it.
    struct stat info {};
    const int error = ::stat(fallback_folder_.c_str(), &info) != 0 ? errno : ENOTDIR;
    ReportUnwritable(WithSlash(fallback_folder_) + kLogFileName, ErrorText(error));
  }
  const int fd = OpenLog(true);
  if (fd >= 0) ::close(fd);
}

int CDebug::OpenLog(bool truncate) {
  if (log_path_.empty()) return -1;
  // Never O_TRUNC here: a planted file must be looked at before it is cut.
  const int flags =
      O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (truncate ? 0 : O_APPEND);
  const int fd = ::open(log_path_.c_str(), flags, 0644);
  std::string refusal;
  struct stat info {};
  if (fd < 0) {
    refusal = errno == ELOOP ? "it is a symbolic link, which is not followed" : ErrorText(errno);
  } else if (::fstat(fd, &info) != 0) {
    refusal = ErrorText(errno);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = "it is not a regular file";
  } else if (info.st_nlink > 1) {
    refusal = "it has more than one link";
  } else if (info.st_uid != ::geteuid()) {
    refusal = "it belongs to another user";
  } else if (truncate && ::ftruncate(fd, 0) != 0) {
    refusal = ErrorText(errno);
  }
  if (!refusal.empty()) {
    if (fd >= 0) ::close(fd);
    ReportUnwritable(log_path_, refusal);
    return -1;
  }
  return fd;
}

}  // namespace vex::control
