// Operating-system services the rest of the project uses: module file names,
// the temporary folder, file copy, a millisecond tick counter, sleep, and the
// code set of the process's locale.
#pragma once

#include <cstdint>
#include <string>

namespace vex::system {

// The full path of the shared library or program that contains `address`
// (a function or object of that module); empty when it cannot be found.
std::string ModulePath(const void* address);
// The folder of that module, without a trailing "/".
std::string ModuleFolder(const void* address);

// $TMPDIR when set and not empty, else "/tmp"; always ends with "/".
std::string TempFolder();

// Copies a file; with fail_if_exists an existing target is left alone and the
// copy fails. Returns 0 or the errno-style error.
int CopyFile(const std::string& from, const std::string& to, bool fail_if_exists);

// Milliseconds since an arbitrary start, in 32 bits: wraps after about 49.7
// days, so intervals are measured as unsigned differences (now - then).
std::uint32_t TickCount();

// The clock under TickCount: milliseconds since an arbitrary start, in 64
// bits (TickCount keeps the low 32). The monotonic clock by default; tests
// install their own to drive the counter across its wrap. Returns the
// source it replaces; nullptr restores the default. Not for use while other
// threads read the counter.
using TickSource = std::uint64_t (*)();
TickSource SetTickSource(TickSource source);
// Blocks the calling thread for at least `milliseconds`.
void Sleep(std::uint32_t milliseconds);

// The code set of the current LC_CTYPE locale ("UTF-8", "ISO-8859-1",
// "ANSI_X3.4-1968" for the C locale). The host chooses the locale; programs of
// this project call setlocale(LC_ALL, "") at start, libraries never.
std::string CodeSet();
// Whether the current locale may use more than one byte per character.
bool IsMultiByteCodeSet();

}  // namespace vex::system
