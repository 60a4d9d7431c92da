#include "vex/com/member_path.h"

#include <cctype>
#include <charconv>
#include <limits>

#include "vex/com/numeric_text.h"

namespace vex::com {
namespace {

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string Trimmed(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

HRESULT Refuse(HRESULT status, std::string text, std::string* message) {
  if (message) *message = std::move(text);
  return status;
}

// Splits the text between a segment's parentheses at its top-level commas.
HRESULT SplitArguments(std::string_view inside, std::string_view path,
                       std::vector<std::string>* args, std::string* message) {
  args->clear();
  if (Trimmed(inside).empty()) return S_OK;
  std::string current;
  bool quoted = false;
  for (char c : inside) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      args->push_back(Trimmed(current));
      current.clear();
      continue;
    }
    current += c;
  }
  if (quoted)
    return Refuse(E_INVALIDARG, "unterminated quoted text in '" + std::string(path) + "'", message);
  args->push_back(Trimmed(current));
  for (const auto& a : *args) {
    if (a.empty())
      return Refuse(E_INVALIDARG, "empty argument in '" + std::string(path) + "'", message);
  }
  return S_OK;
}

// The family prefix of a constant name: the part before its first underscore.
std::string_view FamilyOf(std::string_view name) {
  const auto at = name.find('_');
  return at == std::string_view::npos || at == 0 ? std::string_view() : name.substr(0, at);
}

bool IsInteger(std::string_view s) {
  std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

// [+-] (digits [. digits] | . digits) [(e|E) [+-] digits]
bool IsDecimal(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exponent = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == s.size();
}

}  // namespace

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

HRESULT ParseMemberPath(std::string_view text, std::vector<PathSegment>* out,
                        std::string* message) {
  if (!out) return E_POINTER;
  out->clear();
  const std::string path(text);
  if (Trimmed(text).empty()) return Refuse(E_INVALIDARG, "empty member path", message);
  std::size_t i = 0;
  while (true) {
    PathSegment segment;
    if (i >= text.size() || !IsNameStart(text[i])) {
      const std::string rest(text.substr(i));
      return Refuse(E_INVALIDARG,
                    rest.empty() ? "member path '" + path + "' ends with '.'"
                                 : "'" + rest + "' in '" + path + "' is not a member name",
                    message);
    }
    const std::size_t start = i;
    while (i < text.size() && IsNameChar(text[i])) ++i;
    segment.name = std::string(text.substr(start, i - start));
    if (i < text.size() && text[i] == '(') {
      segment.has_parentheses = true;
      const std::size_t open = i;
      bool quoted = false;
      std::size_t close = std::string_view::npos;
      for (std::size_t j = open + 1; j < text.size(); ++j) {
        if (text[j] == '"') quoted = !quoted;
        if (quoted) continue;
        if (text[j] == '(') {
          return Refuse(E_INVALIDARG,
                        "nested parenthesis in '" + std::string(text.substr(start)) + "'", message);
        }
        if (text[j] == ')') {
          close = j;
          break;
        }
      }
      if (close == std::string_view::npos) {
        return Refuse(E_INVALIDARG,
                      "unbalanced parenthesis in '" + std::string(text.substr(start)) + "'",
                      message);
      }
      HRESULT hr = SplitArguments(text.substr(open + 1, close - open - 1),
                                  text.substr(start, close + 1 - start), &segment.args, message);
      if (FAILED(hr)) return hr;
      i = close + 1;
    }
    out->push_back(std::move(segment));
    if (i == text.size()) break;
    if (text[i] != '.') {
      return Refuse(E_INVALIDARG,
                    "unexpected '" + std::string(text.substr(i)) + "' after '" +
                        std::string(text.substr(start, i - start)) + "' in '" + path + "'",
                    message);
    }
    ++i;
  }
  return S_OK;
}

std::string MemberPathText(const std::vector<PathSegment>& segments, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count && i < segments.size(); ++i) {
    if (i) text += '.';
    text += segments[i].name;
    if (segments[i].has_parentheses) {
      text += '(';
      for (std::size_t a = 0; a < segments[i].args.size(); ++a)
        text += (a ? "," : "") + segments[i].args[a];
      text += ')';
    }
  }
  return text;
}

std::optional<std::int32_t> LibraryConstants::Find(std::string_view name) const {
  std::int32_t value = 0;
  if (library_ && library_->FindConstant(name, &value)) return value;
  return std::nullopt;
}

bool LibraryConstants::LooksLikeConstant(std::string_view name) const {
  const std::string_view family = FamilyOf(name);
  if (!library_ || family.empty()) return false;
  for (const auto& e : library_->enums) {
    for (const auto& [constant, value] : e.constants) {
      if (EqualsNoCase(FamilyOf(constant), family)) return true;
    }
  }
  return false;
}

std::vector<std::string> LibraryConstants::Nearest(std::string_view name, std::size_t count) const {
  return library_ ? library_->NearestConstants(name, count) : std::vector<std::string>{};
}

bool IsIdentifier(std::string_view word) {
  if (word.empty() || !IsNameStart(word[0])) return false;
  for (char c : word) {
    if (!IsNameChar(c)) return false;
  }
  return true;
}

HRESULT ParseMemberValue(std::string_view word, const ConstantResolver* constants, Variant* out,
                         std::string* message) {
  if (!out) return E_POINTER;
  if (EqualsNoCase(word, "true")) return *out = Variant(true), S_OK;
  if (EqualsNoCase(word, "false")) return *out = Variant(false), S_OK;
  if (IsInteger(word)) {
    std::int64_t value = 0;
    const char* first = word.data() + (word[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(first, word.data() + word.size(), value);
    if (error == std::errc() && end == word.data() + word.size() &&
        value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max())
      return *out = Variant(static_cast<std::int32_t>(value)), S_OK;
  }
  if (IsDecimal(word)) {
    if (auto value = ParseDoubleStrict(word)) return *out = Variant(*value), S_OK;
  }
  if (!word.empty() && word.front() == '"') {
    if (word.size() < 2 || word.back() != '"')
      return Refuse(DISP_E_TYPEMISMATCH, "unterminated quoted text " + std::string(word), message);
    return *out = Variant(word.substr(1, word.size() - 2)), S_OK;
  }
  if (constants && IsIdentifier(word)) {
    if (auto value = constants->Find(word)) return *out = Variant(*value), S_OK;
    if (constants->LooksLikeConstant(word)) {
      return Refuse(DISP_E_TYPEMISMATCH,
                    "unknown enumeration constant '" + std::string(word) +
                        "'; nearest: " + JoinNames(constants->Nearest(word, 3)),
                    message);
    }
  }
  *out = Variant(word);
  return S_OK;
}

}  // namespace vex::com
