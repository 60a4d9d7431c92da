// Outside programs that tests run (ImageMagick, the metafile converters, the
// port mapper), with what each needs to work and the Debian package that
// provides it.
//
// A program can be on the PATH and still fail for want of data it loads at
// run time: libwmf's converters find no font without fonts-urw-base35, which
// libwmf only recommends. Every test that runs an outside program goes
// through RunProgram, which checks the program's prerequisites first, so a
// machine set up without them fails with the name of the missing package
// rather than with the program's own error.
#pragma once

#include <string>
#include <vector>

namespace vex::test {

// One thing an outside program needs: a file (the program itself, or data
// it loads) and the Debian package that installs it.
struct Prerequisite {
  std::string path;
  std::string package;
};

// The prerequisites of a program the tests run, by the name or path the
// tests use; empty for a program this table does not know.
std::vector<Prerequisite> PrerequisitesOf(const std::string& program);

// Empty when the program and everything it needs are installed; otherwise a
// message naming the first missing file and its package, for example
// "wmf2svg needs /usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1:
// install the Debian package fonts-urw-base35". A program missing from the
// table is reported too, so that every new use names its packages.
// `root` is prefixed to every path (tests of this check lay out a tree).
std::string MissingPrerequisite(const std::string& program, const std::string& root = "");

struct ProgramResult {
  int exit_code = -1;
  std::string output;  // standard output, and standard error unless kept apart
};

// Runs `program` with `arguments` (already shell-quoted) after checking its
// prerequisites. A missing one fails the calling test with the message
// above, and the program is not run (exit code -1).
ProgramResult RunProgram(const std::string& program, const std::string& arguments,
                         bool merge_stderr = true);
// A third text is a mistake (once a package name), not merge_stderr.
ProgramResult RunProgram(const std::string&, const std::string&, const char*) = delete;

}  // namespace vex::test
