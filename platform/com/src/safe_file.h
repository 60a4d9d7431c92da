// Files the runtime keeps for the user (property-bag files, the class
// registry) are read and replaced through these helpers, so that each save
// is all-or-nothing and concurrent programs never lose each other's changes:
//   - FileLock: an exclusive flock on "<file>.lock" beside the file, held
//     while a program reads, merges and replaces the file. flock locks are
//     per open file: a process takes the lock of a file once and passes it
//     on, since a second FileLock on the same file would wait for itself.
//   - ReadRegularFile: the whole file, refusing a FIFO, folder or device at
//     once instead of waiting on it.
//   - ResolveLinks: where a chain of symbolic links ends, so that a save
//     replaces the target and the links stay links.
//   - ReplaceFile: the new text to a temporary file in the same folder
//     (".<name>.tmp.<pid>"), fsync'd, with the mode and owner of the file
//     it replaces, renamed over it, the folder fsync'd. Read-only and
//     hard-linked files are refused; temporaries left by processes that
//     died are removed.
// Every failure names the file and gives the system's reason.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <string>

#include "vex/com/hresult.h"

namespace vex::com::detail {

// How failures about one kind of file read: "Cannot read the <noun> <path>:
// <reason>." with the status a caller expects for it.
struct FileRole {
  const char* noun;          // "property bag file", "class registry"
  const char* source;        // the error source
  HRESULT read_status = 0;   // 0: from errno (access denied, out of memory, E_FAIL)
  HRESULT write_status = 0;  // likewise for writes
};

HRESULT FileError(const FileRole& role, const std::string& what, const std::string& path, int error,
                  bool writing = false);

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept;

  // Locks "<file>.lock", waiting at most `wait` for another holder to let
  // go (a holder that dies lets go with it). The lock file stays.
  HRESULT Acquire(const FileRole& role, const std::string& file,
                  std::chrono::milliseconds wait = std::chrono::minutes(1));
  bool Held() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

// Reads the whole file; a missing one sets *exists false and is no error.
HRESULT ReadRegularFile(const FileRole& role, const std::string& path, bool* exists,
                        std::string* text, struct stat* info);

HRESULT ResolveLinks(const FileRole& role, const std::string& path, std::string* out);

// Replaces `target` with `text`; `old` is what ReadRegularFile found there
// (null when there was no file).
HRESULT ReplaceFile(const FileRole& role, const std::string& target, const std::string& text,
                    const struct stat* old);

}  // namespace vex::com::detail
