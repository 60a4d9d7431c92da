// The text of setup files. Files hold text in the calling thread's LC_CTYPE
// locale (the system's code page); the automation strings hold UTF-8. Every
// count in a setup file is in characters of that locale, while the data that
// follows the text is located by its byte offset.
//
// Decoding uses mbrtowc on the thread's locale. A byte that does not start
// a valid character of the locale (or starts one the file cuts short) is
// read as one character with the code of that byte (as Latin-1 reads it),
// so every byte sequence reads as text and the count stays defined; writing
// maps such characters back to the same single bytes where the locale has
// no form of its own for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vex::control {

// Reads the text part of a file one locale character at a time.
class SetupFileText {
 public:
  explicit SetupFileText(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Reads up to `separator`, which is counted but not stored, appending the
  // field's text (UTF-8) to *field. False when the input is already at its
  // end when the field starts, ends before the separator, or (limit >= 1)
  // more than `limit` characters come before the separator.
  bool ReadField(char32_t separator, std::size_t limit, std::string* field);
  // Reads exactly `count` characters into *text; false when fewer remain.
  bool ReadCharacters(std::size_t count, std::string* text);

  // Characters consumed so far (the position counter).
  std::size_t Characters() const { return characters_; }
  // Bytes consumed so far: where the data after the text begins.
  std::size_t Offset() const { return offset_; }
  std::size_t Remaining() const { return bytes_.size() - offset_; }

 private:
  // Decodes one character at the current offset and moves past it.
  char32_t Next();

  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
  std::size_t characters_ = 0;
};

// Converts UTF-8 text to the thread's locale, counting its characters.
// False when a character has no form in the locale (nor is a Latin-1 code
// kept as one byte, see above) or the UTF-8 is malformed.
bool ToLocaleText(std::string_view utf8, std::string* out, std::size_t* characters);

// ASCII comparison without regard to letter case (the format's keywords).
bool EqualsNoCase(std::string_view a, std::string_view b);

// The key form of a name: each character in lower case by the thread's
// locale (towlower), so that keys compare without regard to letter case.
std::string FoldCase(std::string_view utf8);

// UTF-8 encoding of one code point, appended to *out.
void AppendUtf8(char32_t code, std::string* out);
// The number of characters (code points) of UTF-8 text, and the length in
// bytes of its first `characters` characters.
std::size_t Utf8Length(std::string_view utf8);
std::size_t Utf8PrefixBytes(std::string_view utf8, std::size_t characters);

}  // namespace vex::control
