// Where a window goes: centred over its owner or on the screen, and kept on
// the screen. Pure arithmetic, so every toolkit places boxes the same way.
#pragma once

#include "vex/ui/types.h"

namespace vex::ui {

// The top-left corner of a `box` centred over `owner` and then pushed back
// onto a screen of `screen` pixels: a box that would end beyond the right
// (bottom) edge ends at it, and one that would start left of (above) 0
// starts at 0. The right/bottom clamp comes first, so a box larger than the
// screen starts at 0.
Point CenterOver(const Rect& owner, Size box, Size screen);

// The top-left corner of a `box` centred on a screen of `screen` pixels
// (clamped the same way).
Point CenterOnScreen(Size box, Size screen);

// `top_left` for a `box`, clamped the same way: a menu opened at the
// pointer near the screen's edge opens at the edge.
Point KeepOnScreen(Point top_left, Size box, Size screen);

}  // namespace vex::ui
