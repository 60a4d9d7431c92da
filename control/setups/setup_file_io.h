// Whole-file reads and safe replacement of setup files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex::control {

// Reads a regular file whole; false (errno kept) when it cannot be opened,
// is not a regular file, or cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes);

// Writes `bytes` as the file `path`, creating or replacing it, so that a
// failure at any point leaves an existing file as it was: the bytes go to a
// new file in the same folder (with the permissions a new file gets there),
// which is flushed to the disk and then renamed over the old name. A path
// that is a symbolic link replaces the file it points to. False (errno kept)
// on failure; the temporary file is removed then.
bool ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace vex::control
