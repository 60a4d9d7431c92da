// Plain values shared by every part of the user-interface layer: window
// handles, geometry, message-box flags and answers, key codes.
#pragma once

#include <cstdint>
#include <string>

namespace vex::ui {

// A window as the presenters know it: an opaque number, 0 for none. The
// toolkit that created the window knows what stands behind it.
using WindowHandle = std::uintptr_t;

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// A rectangle in pixels: left/top corner and size.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Message-box flags, in the values the host languages use: the low four
// bits choose the buttons, the next three the icon.
namespace mb {
inline constexpr std::uint32_t kOkOnly = 0;
inline constexpr std::uint32_t kOkCancel = 1;
inline constexpr std::uint32_t kAbortRetryIgnore = 2;
inline constexpr std::uint32_t kYesNoCancel = 3;
inline constexpr std::uint32_t kYesNo = 4;
inline constexpr std::uint32_t kRetryCancel = 5;
inline constexpr std::uint32_t kButtonMask = 0xF;
inline constexpr std::uint32_t kCritical = 16;
inline constexpr std::uint32_t kQuestion = 32;
inline constexpr std::uint32_t kExclamation = 48;
inline constexpr std::uint32_t kInformation = 64;
inline constexpr std::uint32_t kIconMask = 0x70;
inline constexpr std::uint32_t kForeground = 65536;
}  // namespace mb

// The button a message box or a modal form was closed with.
namespace answer {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAbort = 3;
inline constexpr int kRetry = 4;
inline constexpr int kIgnore = 5;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace answer

// The answer a box of the given flags gives when closed by its first button.
int FirstButtonOf(std::uint32_t flags);

// Key codes of key-down handlers: letters and digits are their upper-case
// ASCII codes; the others follow the host languages' key constants.
namespace key {
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kDelete = 46;
inline constexpr int kF1 = 112;
}  // namespace key

// Modifier bits of key-down handlers.
namespace shift {
inline constexpr int kShift = 1;
inline constexpr int kCtrl = 2;
inline constexpr int kAlt = 4;
}  // namespace shift

// What a message box shows.
struct MessageBoxRequest {
  std::string title;
  std::string text;
  std::uint32_t flags = mb::kOkOnly;
  std::string help_file;  // empty: no help
  std::int32_t help_context = 0;
};

}  // namespace vex::ui
