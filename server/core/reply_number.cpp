#include "reply_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace vex::server {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t DigitsFrom(std::string_view text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return end - pos;
}

// The decimal exponent of the leading digit of a valid number with a
// nonzero digit: 2 for "123", -3 for "0.00123e0", 5 for "1.5e5". The
// exponent saturates; only its sign decides anything here.
std::int64_t OrderOfMagnitude(std::string_view integer, std::string_view fraction,
                              std::int64_t exponent) {
  std::size_t first = integer.find_first_not_of('0');
  if (first != std::string_view::npos)
    return exponent + static_cast<std::int64_t>(integer.size() - first) - 1;
  first = fraction.find_first_not_of('0');
  return exponent - static_cast<std::int64_t>(first) - 1;
}

}  // namespace

std::optional<double> ParseReplyNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const std::size_t mantissa = pos;
  const std::string_view integer = text.substr(pos, DigitsFrom(text, pos));
  pos += integer.size();
  std::string_view fraction;
  if (pos < text.size() && text[pos] == '.') {
    fraction = text.substr(pos + 1, DigitsFrom(text, pos + 1));
    pos += 1 + fraction.size();
  }
  if (integer.empty() && fraction.empty()) return std::nullopt;
  std::int64_t exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool exponent_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
      exponent_negative = text[pos++] == '-';
    const std::size_t digits = DigitsFrom(text, pos);
    if (digits == 0) return std::nullopt;
    for (std::size_t i = pos; i < pos + digits; ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (exponent_negative) exponent = -exponent;
    pos += digits;
  }
  if (pos != text.size()) return std::nullopt;

  // The text is a valid number now; from_chars takes no '+' of its own, so
  // it reads the unsigned part.
  double value = 0.0;
  auto [end, error] = std::from_chars(text.data() + mantissa, text.data() + text.size(), value,
                                      std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    if (OrderOfMagnitude(integer, fraction, exponent) > 0) return std::nullopt;  // overflow
    value = 0.0;                                                                 // underflow
  } else if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<double> ReplyNumber(const com::Variant& reply) {
  const com::Variant plain = reply.Dereferenced();
  switch (plain.vt()) {
    case com::VT_BSTR:
      return ParseReplyNumber(plain.BstrVal().View());
    case com::VT_I2:
    case com::VT_I4:
    case com::VT_R4:
    case com::VT_R8:
    case com::VT_UI1:
    case com::VT_UI4:
    case com::VT_INT:
    case com::VT_UINT: {
      double value = 0.0;
      if (com::FAILED(plain.ToR8(&value)) || !std::isfinite(value)) return std::nullopt;
      return value;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace vex::server
