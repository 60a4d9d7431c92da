#include "vex/ui/placement.h"

namespace vex::ui {
namespace {

int Clamp(long long position, int extent, int screen_extent) {
  if (position + extent > screen_extent) position = static_cast<long long>(screen_extent) - extent;
  if (position < 0) position = 0;
  return static_cast<int>(position);
}

}  // namespace

Point CenterOver(const Rect& owner, Size box, Size screen) {
  // In 64 bits: a rectangle near the int limits must not overflow the sum.
  const long long x = owner.left + (static_cast<long long>(owner.width) - box.width) / 2;
  const long long y = owner.top + (static_cast<long long>(owner.height) - box.height) / 2;
  return {Clamp(x, box.width, screen.width), Clamp(y, box.height, screen.height)};
}

Point CenterOnScreen(Size box, Size screen) {
  return CenterOver(Rect{0, 0, screen.width, screen.height}, box, screen);
}

Point KeepOnScreen(Point top_left, Size box, Size screen) {
  return {Clamp(top_left.x, box.width, screen.width), Clamp(top_left.y, box.height, screen.height)};
}

int FirstButtonOf(std::uint32_t flags) {
  switch (flags & mb::kButtonMask) {
    case mb::kAbortRetryIgnore:
      return answer::kAbort;
    case mb::kYesNoCancel:
    case mb::kYesNo:
      return answer::kYes;
    case mb::kRetryCancel:
      return answer::kRetry;
    default:
      return answer::kOk;
  }
}

}  // namespace vex::ui
