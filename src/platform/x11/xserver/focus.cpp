#include "platform/x11/xserver/focus.h"

#include <chrono>
#include <thread>

#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/window_tree.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {

bool holdsFocus(Display* d, Window window) {
    if (activeWindow() != window) return false;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    return within(d, focus, window);
}

bool focusWindow(Display* d, Window window) {
    using Clock = std::chrono::steady_clock;
    if (holdsFocus(d, window)) return true;
    requestActivation(d, window, false);
    auto deadline = Clock::now() + std::chrono::milliseconds(kActivateWaitMs);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (connectionLost()) return false;
        if (holdsFocus(d, window)) return true;
    }
    return false;
}

}  // namespace platform::x11
