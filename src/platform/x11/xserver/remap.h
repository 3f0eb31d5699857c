// The server's side of the keyboard mapping: reading the core mapping and
// the keyboard state, and binding keysyms to spare keycodes (and taking them
// off again) as keymap.h plans. Every keymap change makes every X client
// reload its keymap, so a set of bindings goes to the server in one XKB
// change, or, where XKB fails, in one core request per run of consecutive
// keycodes. Internal to the Linux backend; main thread only.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "platform/x11/xserver/keymap.h"

namespace platform::x11 {

// The core keyboard mapping of every keycode the server has.
keys::CoreMap readMap(Display* d);

// The keycodes of the modifier map (never used as spares).
std::vector<int> modifierKeycodes(Display* d);

// The keymap's levels are what they say only while no modifier that selects
// a level (Shift, Lock, the third and fifth level shifts) is in effect and the
// first group is the current one.
bool levelsReliable(Display* d);

// Gives each keycode of `bindings` its keysyms in the first group (one level
// when the two are the same, else a letter's two), or, with `clear`, takes
// them all off again. `map` is the mapping the bindings were planned on.
void remap(Display* d, const keys::CoreMap& map, const std::vector<keys::Binding>& bindings, bool clear);

// Caps Lock turns every letter the keys give into its capital, on spare keys
// too. Unlocks it and says whether it was locked; relockCaps locks it again.
bool unlockCaps(Display* d);
void relockCaps(Display* d);

}  // namespace platform::x11
