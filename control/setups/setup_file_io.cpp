#include "setup_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace vex::control {

namespace {

// Closes a descriptor on every path, keeping errno.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      const int saved = errno;
      ::close(fd_);
      errno = saved;
    }
  }
  int get() const { return fd_; }
  // Closes now, reporting the result (a deferred write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Why a path that is not a regular file cannot be a setup file; a folder
// says so in the system's words.
std::string NotARegularFile(mode_t mode) {
  if (S_ISDIR(mode)) return SystemErrorText(EISDIR);
  const char* kind = S_ISFIFO(mode)   ? "a FIFO, "
                     : S_ISCHR(mode)  ? "a character device, "
                     : S_ISBLK(mode)  ? "a block device, "
                     : S_ISSOCK(mode) ? "a socket, "
                                      : "";
  return std::string(kind) + "not a regular file";
}

bool Failed(std::string* reason, int error) {
  if (reason) *reason = SystemErrorText(error);
  return false;
}

bool Failed(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
  return false;
}

std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 random{std::random_device{}()};
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  return folder + "." + base + "." + std::to_string(::getpid()) + "." +
         std::to_string(counter.fetch_add(1)) + "." + std::to_string(random() % 1000000) + ".tmp";
}

}  // namespace

std::string SystemErrorText(int error) {
  // strerrordesc_np gives the English text whatever LC_MESSAGES says.
  if (const char* text = ::strerrordesc_np(error)) return text;
  return "error " + std::to_string(error);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* reason) {
  bytes->clear();
  if (path.empty()) return Failed(reason, ENOENT);
  // Looked at before it is opened: a FIFO or a device is never opened at all.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Failed(reason, errno);
  if (!S_ISREG(info.st_mode)) return Failed(reason, NotARegularFile(info.st_mode));
  // What was opened is looked at again (the name may have been replaced
  // meanwhile); O_NONBLOCK keeps a FIFO put there from blocking the open.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return Failed(reason, errno);
  if (::fstat(fd.get(), &info) != 0) return Failed(reason, errno);
  if (!S_ISREG(info.st_mode)) return Failed(reason, NotARegularFile(info.st_mode));
  // The size is a hint: a file that grows or shrinks meanwhile is read to
  // its end as it is then.
  bytes->reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Failed(reason, errno);
    }
    if (got == 0) break;
    bytes->insert(bytes->end(), buffer, buffer + got);
  }
  return true;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* reason) {
  if (path.empty()) return Failed(reason, ENOENT);
  std::string target = path;
  struct stat link_info {};
  if (::lstat(path.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target = resolved;
  }
  struct stat old_info {};
  const bool existed = ::stat(target.c_str(), &old_info) == 0;
  if (existed && !S_ISREG(old_info.st_mode))
    return Failed(reason, NotARegularFile(old_info.st_mode));

  std::string temporary;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    temporary = TemporaryName(target);
    raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) return Failed(reason, errno);
  }
  if (raw < 0) return Failed(reason, EEXIST);
  Descriptor fd(raw);
  const auto fail = [&] {
    const int saved = errno;
    ::unlink(temporary.c_str());
    return Failed(reason, saved);
  };
  // A replaced file keeps its permissions.
  if (existed && ::fchmod(fd.get(), old_info.st_mode & 07777) != 0) return fail();
  if (!WriteAll(fd.get(), bytes.data(), bytes.size())) return fail();
  if (::fsync(fd.get()) != 0) return fail();
  if (!fd.Close()) return fail();
  if (::rename(temporary.c_str(), target.c_str()) != 0) return fail();
  return true;
}

}  // namespace vex::control
