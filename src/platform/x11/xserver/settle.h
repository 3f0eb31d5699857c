// Proof that a client has read the input sent so far: before spare keycodes
// are unbound, the client typing with them must have looked them up.
//
// A _NET_WM_PING round trip to the window that receives the events proves it
// (a client answers only after everything queued before the ping). A window
// that does not take part in the ping protocol, or does not answer within
// kPingWaitMs, costs an XSync and kSettleMs instead.
// Internal to the Linux backend; main thread only.
#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

inline constexpr int kPingWaitMs = 1000;
inline constexpr int kSettleMs = 40;

// Returns once the client behind `target` has read every event sent so far,
// or after the fallback pause when that cannot be proved (also for None).
void settle(Display* d, Window target);

}  // namespace platform::x11
