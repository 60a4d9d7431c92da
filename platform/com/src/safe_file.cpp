#include "safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>

#include "vex/com/error_info.h"

namespace vex::com::detail {
namespace {

HRESULT StatusOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return E_ACCESSDENIED;
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:
      return E_FAIL;
  }
}

HRESULT RoleStatus(const FileRole& role, bool writing, HRESULT fallback) {
  const HRESULT chosen = writing ? role.write_status : role.read_status;
  return chosen != 0 ? chosen : fallback;
}

HRESULT Refusal(const FileRole& role, bool writing, HRESULT fallback, const std::string& text) {
  return ReportRichError(RoleStatus(role, writing, fallback), text, role.source);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  // Closes now, giving close's errno (0 for none).
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A file the user may not write is refused rather than replaced (the rename
// would succeed in a writable folder). The mode bits are looked at as well,
// since for root the access check passes whatever they say. A file with
// several hard links is refused too: replacing it would split it from its
// other names, and rewriting it in place would give up the old-or-new
// guarantee a crash leaves.
HRESULT CheckWritable(const FileRole& role, const std::string& path, const struct stat& info) {
  const std::string file = std::string("the ") + role.noun + " " + path;
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return FileError(role, "Cannot write", file, errno, true);
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return Refusal(role, true, E_ACCESSDENIED,
                   "Cannot write " + file + ": it is read-only (no write permission in its mode).");
  }
  if (info.st_nlink > 1) {
    return Refusal(role, true, E_ACCESSDENIED,
                   "Cannot write " + file + ": it has " + std::to_string(info.st_nlink) +
                       " hard links, which replacing it would break; save to a symbolic link "
                       "or a file of its own instead.");
  }
  return S_OK;
}

// Temporaries are ".<name>.tmp.<pid>" (and "<name>.tmp.<pid>" from older
// saves); those of processes that no longer run are left from a crash.
void RemoveDeadTemporaries(const std::string& folder, const std::string& base) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const std::string hidden = "." + base + ".tmp.";
  const std::string plain = base + ".tmp.";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    std::string_view pid_text;
    if (name.substr(0, hidden.size()) == hidden) {
      pid_text = name.substr(hidden.size());
    } else if (name.substr(0, plain.size()) == plain) {
      pid_text = name.substr(plain.size());
    } else {
      continue;
    }
    if (pid_text.empty() || pid_text.size() > 9 ||
        pid_text.find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(std::string(pid_text)));
    if (pid == ::getpid() || pid <= 0) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// Writes the new file in full and to the disk, with the mode and owner of
// the file it replaces (`old`, null for a new file).
HRESULT WriteReplacement(const FileRole& role, const std::string& temp, const std::string& text,
                         const struct stat* old) {
  const std::string file = "the temporary file " + temp;
  ::unlink(temp.c_str());  // left by an earlier process of this pid
  const mode_t mode = old ? (old->st_mode & 07777) : 0666;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) return FileError(role, "Cannot create", file, errno, true);
  FileDescriptor guard(fd);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileError(role, "Cannot write", file, errno, true);
    }
    done += static_cast<std::size_t>(n);
  }
  if (old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return FileError(role, "Cannot write", file, errno, true);
    if ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) &&
        ::fchown(fd, old->st_uid, old->st_gid) != 0)
      return FileError(role, "Cannot give the owner of the file it replaces to", file, errno, true);
    if (::fchmod(fd, mode) != 0)
      return FileError(role, "Cannot give the mode of the file it replaces to", file, errno, true);
  }
  if (::fsync(fd) != 0) return FileError(role, "Cannot write", file, errno, true);
  if (const int error = guard.Close(); error != 0)
    return FileError(role, "Cannot write", file, error, true);
  return S_OK;
}

// Makes the rename itself durable.
HRESULT SyncFolder(const FileRole& role, const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FileError(role, "Cannot open", "the folder " + folder, errno, true);
  FileDescriptor guard(fd);
  if (::fsync(fd) != 0 && errno != EINVAL)
    return FileError(role, "Cannot write", "the folder " + folder, errno, true);
  return S_OK;
}

std::string FormatSeconds(std::chrono::milliseconds wait) {
  const auto ms = wait.count();
  if (ms % 1000 == 0) return std::to_string(ms / 1000);
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100);
}

}  // namespace

HRESULT FileError(const FileRole& role, const std::string& what, const std::string& path, int error,
                  bool writing) {
  // `path` either is a bare path, named with the role's noun, or already
  // says what it is ("the temporary file ...").
  const std::string file =
      path.rfind("the ", 0) == 0 ? path : std::string("the ") + role.noun + " " + path;
  return ReportRichError(RoleStatus(role, writing, StatusOf(error)),
                         what + " " + file + ": " + std::strerror(error) + ".", role.source);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

HRESULT FileLock::Acquire(const FileRole& role, const std::string& file,
                          std::chrono::milliseconds wait) {
  Release();
  const std::string path = file + ".lock";
  const int fd =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
  if (fd < 0) return FileError(role, "Cannot open", "the lock file " + path, errno, true);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  auto pause = std::chrono::milliseconds(2);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK) {
      ::close(fd);
      return FileError(role, "Cannot lock", "the lock file " + path, error, true);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      ::close(fd);
      return ReportRichError(STG_E_LOCKVIOLATION,
                             std::string("The ") + role.noun + " " + file +
                                 " is in use by another program: its lock file " + path +
                                 " stayed locked for " + FormatSeconds(wait) + " s.",
                             role.source);
    }
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  fd_ = fd;
  return S_OK;
}

void FileLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

HRESULT ReadRegularFile(const FileRole& role, const std::string& path, bool* exists,
                        std::string* text, struct stat* info) {
  *exists = false;
  text->clear();
  // The open does not wait for a FIFO's writer, and fstat tells what it is
  // before a byte is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return S_OK;
    return FileError(role, "Cannot read", path, errno);
  }
  FileDescriptor guard(fd);
  if (::fstat(fd, info) != 0) return FileError(role, "Cannot read", path, errno);
  if (!S_ISREG(info->st_mode)) {
    return Refusal(role, false, E_ACCESSDENIED,
                   std::string("The ") + role.noun + " " + path + " is " + KindOf(info->st_mode) +
                       ", not a regular file.");
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileError(role, "Cannot read", path, errno);
    }
    text->append(buffer, static_cast<std::size_t>(n));
  }
  *exists = true;
  return S_OK;
}

HRESULT ResolveLinks(const FileRole& role, const std::string& path, std::string* out) {
  std::string current = path;
  for (int depth = 0;; ++depth) {
    if (depth == 40) return FileError(role, "Cannot follow", "the symbolic link " + path, ELOOP);
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (errno == ENOENT) break;
      return FileError(role, "Cannot look at", current, errno);
    }
    if (!S_ISLNK(info.st_mode)) break;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0) + 256, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) return FileError(role, "Cannot follow", "the symbolic link " + current, errno);
    target.resize(static_cast<std::size_t>(n));
    if (target.empty() || target[0] != '/') {
      const auto slash = current.rfind('/');
      if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
    }
    current = std::move(target);
  }
  *out = std::move(current);
  return S_OK;
}

HRESULT ReplaceFile(const FileRole& role, const std::string& target, const std::string& text,
                    const struct stat* old) {
  if (old) {
    const HRESULT hr = CheckWritable(role, target, *old);
    if (FAILED(hr)) return hr;
  }
  const std::string folder = FolderOf(target);
  const std::string base = BaseNameOf(target);
  RemoveDeadTemporaries(folder, base);
  const std::string temp = folder + "/." + base + ".tmp." + std::to_string(::getpid());
  HRESULT hr = WriteReplacement(role, temp, text, old);
  if (FAILED(hr)) {
    ::unlink(temp.c_str());
    return hr;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return FileError(role, "Cannot replace", target, error, true);
  }
  return SyncFolder(role, folder);
}

}  // namespace vex::com::detail
