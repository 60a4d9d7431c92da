#include "vex/com/utf8_text.h"

#include <cstdint>

namespace vex::com {
namespace {

// The length of the well-formed UTF-8 sequence at text[pos], 0 when there
// is none there. `code` gets its code point.
std::size_t SequenceAt(std::string_view text, std::size_t pos, char32_t* code) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[pos + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

void AppendHex(std::uint8_t byte, std::string* out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out->append("\\x");
  out->push_back(kDigits[byte >> 4]);
  out->push_back(kDigits[byte & 0x0F]);
}

}  // namespace

std::size_t FirstInvalidUtf8(std::string_view text) {
  std::size_t pos = 0;
  char32_t code = 0;
  while (pos < text.size()) {
    const std::size_t length = SequenceAt(text, pos, &code);
    if (length == 0) return pos;
    pos += length;
  }
  return text.size();
}

std::string EscapeForTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t code = 0;
    const std::size_t length = SequenceAt(text, pos, &code);
    if (length == 0) {
      AppendHex(static_cast<std::uint8_t>(text[pos]), &out);
      ++pos;
      continue;
    }
    if (code == '\\') {
      out.append("\\\\");
    } else if (code == '\t' || code == '\n') {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F)) {
      // A C1 control is two bytes in UTF-8; both are shown.
      for (std::size_t i = 0; i < length; ++i)
        AppendHex(static_cast<std::uint8_t>(text[pos + i]), &out);
    } else {
      out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out;
}

}  // namespace vex::com
