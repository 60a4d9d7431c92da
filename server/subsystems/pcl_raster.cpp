#include "pcl_raster.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <type_traits>

namespace vex::server {
namespace {

constexpr std::uint8_t kEscape = 0x1B;
constexpr std::size_t kBmpHeaderBytes = 62;  // file and info headers, two palette entries

struct RowCommand {
  std::string_view text;
  std::size_t width;
  int family;  // commands of one family add rows of one image
};
// *b68W and *b68V share a family: a dump may mix them.
constexpr std::array<RowCommand, 5> kRowCommands{
    {{"*b64W", 64, 0}, {"*b68W", 68, 1}, {"*b192W", 192, 2}, {"*b204W", 204, 3}, {"*b68V", 68, 1}}};
constexpr std::array<std::string_view, 3> kStartCommands{"*rA", "*r1A", "*r0A"};
constexpr std::array<std::string_view, 2> kEndCommands{"*rB", "*rC"};

// Whether the bytes at `at` begin with `text`.
bool StartsWith(std::span<const std::uint8_t> in, std::size_t at, std::string_view text) {
  if (at > in.size() || in.size() - at < text.size()) return false;
  return std::equal(text.begin(), text.end(), in.begin() + static_cast<std::ptrdiff_t>(at),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// The position just past the command of the escape at `esc` when it is one
// of `commands`.
template <class List>
std::optional<std::size_t> Match(std::span<const std::uint8_t> in, std::size_t esc,
                                 const List& commands, std::size_t* which = nullptr) {
  for (std::size_t i = 0; i < commands.size(); ++i) {
    std::string_view text;
    if constexpr (std::is_same_v<typename List::value_type, RowCommand>) {
      text = commands[i].text;
    } else {
      text = commands[i];
    }
    if (StartsWith(in, esc + 1, text)) {
      if (which) *which = i;
      return esc + 1 + text.size();
    }
  }
  return std::nullopt;
}

std::size_t NextEscape(std::span<const std::uint8_t> in, std::size_t from) {
  auto it = std::find(in.begin() + static_cast<std::ptrdiff_t>(std::min(from, in.size())), in.end(),
                      kEscape);
  return static_cast<std::size_t>(it - in.begin());
}

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  PutU16(out, at, v & 0xFFFF);
  PutU16(out, at + 2, v >> 16);
}

}  // namespace

bool DecodePclRaster(std::span<const std::uint8_t> pcl, std::vector<std::uint8_t>* bmp) {
  bmp->clear();
  // Start of raster graphics.
  std::size_t pos = 0;
  for (;;) {
    std::size_t esc = NextEscape(pcl, pos);
    if (esc >= pcl.size()) return false;
    if (auto next = Match(pcl, esc, kStartCommands)) {
      pos = *next;
      break;
    }
    pos = esc + 1;
  }
  // The first row fixes the width; then rows of the same family follow.
  std::vector<std::span<const std::uint8_t>> rows;
  std::size_t width = 0;
  int family = -1;
  for (;;) {
    std::size_t esc = NextEscape(pcl, pos);
    if (esc >= pcl.size()) break;
    if (family >= 0 && Match(pcl, esc, kEndCommands)) break;
    std::size_t which = 0;
    auto next = Match(pcl, esc, kRowCommands, &which);
    if (!next || (family >= 0 && kRowCommands[which].family != family)) {
      pos = esc + 1;
      continue;
    }
    std::size_t row_width = kRowCommands[which].width;
    if (pcl.size() - *next < row_width) break;  // a partial row ends the image
    width = row_width;
    family = kRowCommands[which].family;
    rows.push_back(pcl.subspan(*next, row_width));
    pos = *next + row_width;
  }
  if (rows.empty()) return false;

  // Every width is a multiple of 4, so BMP rows need no padding.
  const std::size_t count = rows.size();
  const std::size_t size = width * count + kBmpHeaderBytes;
  bmp->assign(size, 0);
  std::vector<std::uint8_t>& out = *bmp;
  out[0] = 'B';
  out[1] = 'M';
  PutU32(out, 2, static_cast<std::uint32_t>(size));
  PutU32(out, 10, kBmpHeaderBytes);
  PutU32(out, 14, 40);
  PutU32(out, 18, static_cast<std::uint32_t>(width * 8));
  PutU32(out, 22, static_cast<std::uint32_t>(count));
  PutU16(out, 26, 1);  // planes
  PutU16(out, 28, 1);  // bits per pixel
  // Palette: entry 0 black, entry 1 white.
  out[58] = out[59] = out[60] = 255;
  for (std::size_t r = 0; r < count; ++r) {
    auto dest =
        out.begin() + static_cast<std::ptrdiff_t>(kBmpHeaderBytes + (count - 1 - r) * width);
    std::transform(rows[r].begin(), rows[r].end(), dest,
                   [](std::uint8_t b) { return static_cast<std::uint8_t>(~b); });
  }
  return true;
}

}  // namespace vex::server
