// Class and interface identifiers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vex::com {

struct GUID {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;

inline constexpr GUID GUID_NULL{};

namespace detail {
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace detail

// Parses "{8-4-4-4-12}" or the same without braces; nothing for bad text.
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    return std::nullopt;
  std::uint8_t bytes[16]{};
  int count = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '-') {
      ++i;
      continue;
    }
    int high = detail::HexValue(text[i]);
    int low = i + 1 < text.size() ? detail::HexValue(text[i + 1]) : -1;
    if (high < 0 || low < 0 || count == 16) return std::nullopt;
    bytes[count++] = static_cast<std::uint8_t>(high * 16 + low);
    i += 2;
  }
  if (count != 16) return std::nullopt;
  GUID g;
  g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
            (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  return g;
}

// A GUID from a literal known to be valid at compile time.
consteval GUID MakeGuid(const char* text) {
  std::string_view view(text);
  auto parsed = ParseGuid(view);
  if (!parsed) throw "malformed GUID literal";
  return *parsed;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string GuidToString(const GUID& guid);

}  // namespace vex::com

template <>
struct std::hash<vex::com::GUID> {
  std::size_t operator()(const vex::com::GUID& g) const noexcept {
    std::size_t h = g.data1 ^ (std::size_t{g.data2} << 32) ^ (std::size_t{g.data3} << 48);
    for (auto b : g.data4) h = h * 131 + b;
    return h;
  }
};
