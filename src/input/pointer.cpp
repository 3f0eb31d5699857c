#include "input/pointer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace input {
namespace {

using platform::Event;
using platform::Point;

constexpr std::uint32_t kClickPauseMs = 12;
constexpr std::uint32_t kDragPauseMs = 10;
constexpr int kDragSteps = 20;

Event mouseEvent(std::uint32_t type, Point at, std::uint32_t button) {
    return platform::cgEventCreateMouseEvent(source, type, at, button);
}

// The coordinate t of the way from a to b. The plain form (b - a) * t + a is
// used while b - a is finite; the endpoints far apart on either side of zero
// would overflow it, so std::lerp takes over there.
double between(double a, double b, double t) {
    double d = b - a;
    if (std::isfinite(d) || !std::isfinite(a) || !std::isfinite(b)) return d * t + a;
    return std::lerp(a, b, t);
}

// -v without overflow: the most negative amount has no negation and becomes
// the largest one. (Requests with that amount are refused before they get here.)
std::int32_t negated(std::int32_t v) {
    return v == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max()
                                                         : -v;
}

}  // namespace

void post(const Event& event, std::optional<std::int32_t> pid) {
    if (!event) return;
    if (pid)
        platform::cgEventPostToPid(*pid, event);
    else
        platform::cgEventPost(platform::kCGHIDEventTap, event);
}

void pause(std::uint32_t milliseconds) {
    constexpr std::uint32_t most = std::numeric_limits<std::uint32_t>::max() / 1000;
    platform::sleepMicroseconds(std::min(milliseconds, most) * 1000);
}

void click(Point at, bool right, std::int64_t count) {
    std::uint32_t button = right ? platform::kCGMouseButtonRight : platform::kCGMouseButtonLeft;
    std::uint32_t down = right ? platform::kCGEventRightMouseDown : platform::kCGEventLeftMouseDown;
    std::uint32_t up = right ? platform::kCGEventRightMouseUp : platform::kCGEventLeftMouseUp;

    post(mouseEvent(platform::kCGEventMouseMoved, at, platform::kCGMouseButtonLeft), std::nullopt);
    std::int64_t n = std::clamp<std::int64_t>(count, 1, 3);
    for (std::int64_t i = 1; i <= n; ++i) {
        for (std::uint32_t type : {down, up}) {
            if (Event e = mouseEvent(type, at, button)) {
                platform::cgEventSetIntegerValueField(e, platform::kCGMouseEventClickState, i);
                post(e, std::nullopt);
            }
            pause(kClickPauseMs);
        }
    }
}

void drag(Point from, Point to) {
    post(mouseEvent(platform::kCGEventLeftMouseDown, from, platform::kCGMouseButtonLeft), std::nullopt);
    for (int i = 1; i <= kDragSteps; ++i) {
        // The last step lands exactly on the end point, where the release goes.
        double t = i / static_cast<double>(kDragSteps);
        Point at = i == kDragSteps ? to : Point{between(from.x, to.x, t), between(from.y, to.y, t)};
        post(mouseEvent(platform::kCGEventLeftMouseDragged, at, platform::kCGMouseButtonLeft),
             std::nullopt);
        pause(kDragPauseMs);
    }
    post(mouseEvent(platform::kCGEventLeftMouseUp, to, platform::kCGMouseButtonLeft), std::nullopt);
}

void scroll(Point at, std::int32_t dx, std::int32_t dy, std::optional<std::int32_t> pid) {
    // System-wide, the wheel goes where the pointer is: put the pointer there first.
    if (!pid)
        post(mouseEvent(platform::kCGEventMouseMoved, at, platform::kCGMouseButtonLeft), std::nullopt);
    Event wheel = platform::cgEventCreateScrollWheelEvent2(source, platform::kCGScrollEventUnitLine, 2,
                                                           negated(dy), negated(dx), 0);
    if (!wheel) return;
    platform::cgEventSetLocation(wheel, at);
    post(wheel, pid);
}

}  // namespace input
