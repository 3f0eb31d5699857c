// The pointer through XTest on the shared X connection: motion to a point
// (root coordinates, rounded and clamped to the root window), buttons 1
// (left) and 3 (right), and the wheel as buttons 4/5 (vertical, up/down) and
// 6/7 (horizontal, left/right), one press and release per line, at most
// kMostWheelClicks a turn. The server and the toolkit count multi-clicks from
// timing and distance, as for a real mouse.
// Internal to the Linux backend; main thread only. `d` must have XTest.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "platform/platform.h"

namespace platform::x11 {

inline constexpr int kMostWheelClicks = 1000;

struct RootPoint {
    int x = 0;
    int y = 0;
};

// The pixel of the root window nearest to `p` (NaN counts as 0).
RootPoint rootPoint(Display* d, Point p);

void movePointer(Display* d, RootPoint p);
void pressButton(Display* d, unsigned int button, bool down);
// Lines of wheel: `vertical` as button 4 when positive (up), else 5;
// `horizontal` as button 6 when positive (left), else 7.
void turnWheels(Display* d, std::int32_t vertical, std::int32_t horizontal);

}  // namespace platform::x11
