#include "platform/x11/xserver/pointer.h"

#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cmath>

namespace platform::x11 {
namespace {

int clampCoordinate(double v, int size) {
    if (std::isnan(v)) return 0;
    double r = std::round(v);
    if (r < 0) return 0;
    if (r > size - 1) return std::max(size - 1, 0);
    return static_cast<int>(r);
}

void turnWheel(Display* d, std::int32_t amount, unsigned int positive, unsigned int negative) {
    if (amount == 0) return;
    unsigned int button = amount > 0 ? positive : negative;
    std::int64_t clicks = std::min<std::int64_t>(std::abs(static_cast<std::int64_t>(amount)), kMostWheelClicks);
    for (std::int64_t i = 0; i < clicks; ++i) {
        pressButton(d, button, true);
        pressButton(d, button, false);
    }
}

}  // namespace

RootPoint rootPoint(Display* d, Point p) {
    int screen = DefaultScreen(d);
    return {clampCoordinate(p.x, DisplayWidth(d, screen)), clampCoordinate(p.y, DisplayHeight(d, screen))};
}

void movePointer(Display* d, RootPoint p) { XTestFakeMotionEvent(d, DefaultScreen(d), p.x, p.y, CurrentTime); }

void pressButton(Display* d, unsigned int button, bool down) {
    XTestFakeButtonEvent(d, button, down ? True : False, CurrentTime);
}

void turnWheels(Display* d, std::int32_t vertical, std::int32_t horizontal) {
    turnWheel(d, vertical, 4, 5);
    turnWheel(d, horizontal, 6, 7);
}

}  // namespace platform::x11
