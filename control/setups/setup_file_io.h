// Whole-file reads and safe replacement of setup files.
//
// Both refuse a path that names anything but a regular file (a folder, a
// FIFO, a device, a socket) before opening it, so a FIFO never blocks the
// caller and opening a device has no effect on it. A failure gives its
// reason as English text: the system's error message (strerror as the C
// locale has it, whatever the process's locale), or what the path names
// when it is not a regular file ("a FIFO, not a regular file").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex::control {

// The system's English message for `error` ("No such file or directory").
std::string SystemErrorText(int error);

// Reads a regular file whole; false, with *reason, when it is not one or
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* reason);

// Writes `bytes` as the file `path`, creating or replacing it, so that a
// failure at any point leaves an existing file as it was: the bytes go to a
// new file in the same folder (with the permissions a new file gets there),
// which is flushed to the disk and then renamed over the old name. A path
// that is a symbolic link replaces the file it points to. False, with
// *reason, on failure; the temporary file is removed then.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* reason);

}  // namespace vex::control
