#include "engine/ProgramParser.h"

#include <cctype>

#include "engine/ErrorQueue.h"

namespace vex::sim {

namespace {

class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> m) : m_(m) {}
  bool AtEnd() const { return i_ >= m_.size(); }
  uint8_t Peek(std::size_t ahead = 0) const {
    return i_ + ahead < m_.size() ? m_[i_ + ahead] : uint8_t{0};
  }
  uint8_t Next() { return m_[i_++]; }
  void SkipBlanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r')) ++i_;
  }
  std::size_t Left() const { return m_.size() - i_; }
  std::span<const uint8_t> Take(std::size_t n) {
    auto s = m_.subspan(i_, n);
    i_ += n;
    return s;
  }

 private:
  std::span<const uint8_t> m_;
  std::size_t i_ = 0;
};

bool IsMnemonicChar(uint8_t c) {
  return std::isalnum(c) || c == '_';
}
bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// Reads the header; returns an error number or 0.
int ParseHeader(Cursor& in, ProgramUnit& unit) {
  if (in.Peek() == '*') {
    in.Next();
    unit.common = true;
  } else if (in.Peek() == ':') {
    in.Next();
    unit.absolute = true;
  }
  for (;;) {
    std::string node;
    while (!in.AtEnd() && IsMnemonicChar(in.Peek())) node += static_cast<char>(in.Next());
    if (node.empty()) return error::kSyntax;
    unit.nodes.push_back(std::move(node));
    if (unit.common || in.Peek() != ':') break;
    in.Next();
  }
  if (in.Peek() == '?') {
    in.Next();
    unit.query = true;
  }
  if (!in.AtEnd() && in.Peek() != ' ' && in.Peek() != '\t' && in.Peek() != ';' &&
      in.Peek() != '\r') {
    return error::kInvalidCharacter;
  }
  return 0;
}

int ParseString(Cursor& in, Argument& arg) {
  const uint8_t quote = in.Next();
  arg.kind = Argument::Kind::kString;
  for (;;) {
    if (in.AtEnd()) return error::kInvalidStringData;
    const uint8_t c = in.Next();
    if (c == quote) {
      if (in.Peek() != quote) return 0;
      in.Next();
    }
    arg.text += static_cast<char>(c);
  }
}

int ParseBlock(Cursor& in, Argument& arg) {
  in.Next();  // '#'
  arg.kind = Argument::Kind::kBlock;
  const int digits = in.Next() - '0';
  if (digits == 0) {  // indefinite: the rest of the message
    auto rest = in.Take(in.Left());
    arg.block.assign(rest.begin(), rest.end());
    return 0;
  }
  uint64_t length = 0;
  for (int d = 0; d < digits; ++d) {
    if (in.AtEnd() || !IsDigit(in.Peek())) return error::kInvalidBlockData;
    length = length * 10 + (in.Next() - '0');
  }
  if (length > in.Left()) return error::kInvalidBlockData;
  auto data = in.Take(static_cast<std::size_t>(length));
  arg.block.assign(data.begin(), data.end());
  return 0;
}

int ParseText(Cursor& in, Argument& arg) {
  while (!in.AtEnd() && in.Peek() != ',' && in.Peek() != ';') {
    arg.text += static_cast<char>(in.Next());
  }
  while (!arg.text.empty() && std::isspace(static_cast<unsigned char>(arg.text.back()))) {
    arg.text.pop_back();
  }
  return arg.text.empty() ? error::kSyntax : 0;
}

int ParseArguments(Cursor& in, ProgramUnit& unit) {
  for (;;) {
    in.SkipBlanks();
    Argument arg;
    int err = 0;
    const uint8_t c = in.Peek();
    if (c == '"' || c == '\'') {
      err = ParseString(in, arg);
    } else if (c == '#' && IsDigit(in.Peek(1))) {
      err = ParseBlock(in, arg);
    } else {
      err = ParseText(in, arg);
    }
    if (err != 0) return err;
    unit.args.push_back(std::move(arg));
    in.SkipBlanks();
    if (in.AtEnd() || in.Peek() == ';') return 0;
    if (in.Peek() != ',') return error::kInvalidSeparator;
    in.Next();
  }
}

}  // namespace

std::vector<ProgramUnit> ParseProgramMessage(std::span<const uint8_t> message) {
  std::vector<ProgramUnit> units;
  Cursor in(message);
  while (!in.AtEnd()) {
    in.SkipBlanks();
    if (in.AtEnd()) break;
    if (in.Peek() == ';') {
      in.Next();
      continue;
    }
    ProgramUnit unit;
    int err = ParseHeader(in, unit);
    if (err == 0) {
      in.SkipBlanks();
      if (!in.AtEnd() && in.Peek() != ';') err = ParseArguments(in, unit);
    }
    if (err != 0) {
      unit.syntax_error = err;
      units.push_back(std::move(unit));
      break;
    }
    units.push_back(std::move(unit));
    if (!in.AtEnd()) in.Next();  // the ';'
  }
  return units;
}

}  // namespace vex::sim
