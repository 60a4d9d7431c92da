// Splitting a script line into words the way a POSIX shell would for the
// simple cases: blanks separate words, double quotes group words (a
// backslash inside them escapes '"' and '\'), single quotes keep everything
// literally, and a backslash outside quotes escapes the next character.
// `Output "*CLS"` is the two words Output and *CLS.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vex::scope {

// Throws UsageError for an unterminated quote or a trailing backslash.
std::vector<std::string> SplitShellWords(std::string_view line);

// Whether a script line is to be skipped: blank, or a comment starting with '#'.
bool IsBlankOrComment(std::string_view line);

}  // namespace vex::scope
