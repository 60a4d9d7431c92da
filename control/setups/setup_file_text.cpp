#include "setup_file_text.h"

#include <climits>
#include <cwchar>
#include <cwctype>

namespace vex::control {

namespace {

// Decodes one code point of UTF-8 text at *pos; false for malformed text.
bool DecodeUtf8(std::string_view text, std::size_t* pos, char32_t* code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*pos);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    length = 1;
    value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return false;
  }
  if (*pos + length > text.size()) return false;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(*pos + i);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  *pos += length;
  *code = value;
  return true;
}

}  // namespace

void AppendUtf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::size_t Utf8Length(std::string_view utf8) {
  std::size_t count = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::size_t Utf8PrefixBytes(std::string_view utf8, std::size_t characters) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      if (seen == characters) return i;
      ++seen;
    }
  }
  return utf8.size();
}

char32_t SetupFileText::Next() {
  std::mbstate_t state{};
  wchar_t wide = 0;
  const std::size_t left = bytes_.size() - offset_;
  const std::size_t used =
      std::mbrtowc(&wide, reinterpret_cast<const char*>(bytes_.data() + offset_), left, &state);
  char32_t code = 0;
  if (used == 0) {  // a NUL character
    code = 0;
    offset_ += 1;
  } else if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) ||
             used > left) {
    code = bytes_[offset_];
    offset_ += 1;
  } else {
    code = static_cast<char32_t>(wide);
    offset_ += used;
  }
  ++characters_;
  return code;
}

bool SetupFileText::ReadField(char32_t separator, std::size_t limit, std::string* field) {
  if (offset_ >= bytes_.size()) return false;
  std::size_t count = 0;
  while (offset_ < bytes_.size()) {
    const char32_t code = Next();
    if (code == separator) return true;
    ++count;
    if (limit >= 1 && count > limit) return false;
    AppendUtf8(code, field);
  }
  return false;
}

bool SetupFileText::ReadCharacters(std::size_t count, std::string* text) {
  for (std::size_t i = 0; i < count; ++i) {
    if (offset_ >= bytes_.size()) return false;
    AppendUtf8(Next(), text);
  }
  return true;
}

bool ToLocaleText(std::string_view utf8, std::string* out, std::size_t* characters) {
  std::size_t pos = 0;
  std::size_t count = 0;
  char buffer[MB_LEN_MAX];
  while (pos < utf8.size()) {
    char32_t code = 0;
    if (!DecodeUtf8(utf8, &pos, &code)) return false;
    std::mbstate_t state{};
    const std::size_t used = std::wcrtomb(buffer, static_cast<wchar_t>(code), &state);
    if (used != static_cast<std::size_t>(-1)) {
      out->append(buffer, used);
    } else if (code < 0x100) {
      out->push_back(static_cast<char>(code));
    } else {
      return false;
    }
    ++count;
  }
  if (characters) *characters = count;
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string FoldCase(std::string_view utf8) {
  std::string out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t code = 0;
    if (!DecodeUtf8(utf8, &pos, &code)) {
      // Malformed bytes stay as they are.
      out.push_back(utf8[pos]);
      ++pos;
      continue;
    }
    AppendUtf8(static_cast<char32_t>(std::towlower(static_cast<wint_t>(code))), &out);
  }
  return out;
}

}  // namespace vex::control
