// UTF-8 checks for text that comes from outside the program (instrument
// replies, file names, command-line words): the automation strings hold
// bytes, which are UTF-8 only when their source was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vex::com {

// The offset of the first byte that does not start a well-formed UTF-8
// sequence, or text.size() when all of it is UTF-8. Overlong forms, UTF-16
// surrogates (ED A0 80 to ED BF BF) and code points above U+10FFFF are not
// well-formed, as the JSON writer sees them.
std::size_t FirstInvalidUtf8(std::string_view text);
inline bool IsValidUtf8(std::string_view text) {
  return FirstInvalidUtf8(text) == text.size();
}

// Text made safe to print on a terminal: printable ASCII and well-formed
// UTF-8 characters stay as they are; tab and line feed stay; every other
// control character (C0, DEL, and the C1 range U+0080 to U+009F), every byte
// that is not part of well-formed UTF-8 and the backslash itself are
// written as "\xNN" (the backslash as "\\"), so ESC or a lone 0x9B cannot
// drive the terminal and the bytes can still be told apart.
std::string EscapeForTerminal(std::string_view text);

}  // namespace vex::com
