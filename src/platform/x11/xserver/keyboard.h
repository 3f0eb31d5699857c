// Keys and text through XTest on the shared X connection.
//
// Keys: the virtual key code's keysym is found in the current core mapping
// (Shift added for a key's shifted level); a keysym the mapping lacks is bound
// to a spare keycode for as long as the key is down. Flags: Command and
// Control hold Control_L, Alternate Alt_L, Shift Shift_L; SecondaryFn has no
// X counterpart and is ignored. Modifiers go down before the key and up after
// it, in reverse order.
//
// Text (a key-down carrying a Unicode string, in pieces; a surrogate pair cut
// in two by the pieces is typed whole): each character's keysym is typed with
// the mapping's key when that key gives it with Shift or nothing, else bound
// to a spare keycode at every level, so the layout in use (de, fr, ru...)
// never matters; Caps Lock is off meanwhile. The spares of one stretch of
// text are bound in one keymap change and kept until the target client has
// read the key events (settle.h), then go back to NoSymbol.
//
// Internal to the Linux backend; main thread only. `d` must have XTest.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string_view>

namespace platform::x11 {

// Types a piece of text for `target` (the window that receives it; None when
// unknown), holding back a trailing high surrogate for the next piece.
void typeTextPiece(Display* d, std::u16string_view piece, Window target);
// Types what was held back, if anything (a lone high surrogate: U+FFFD),
// before other input goes out.
void flushTextPieces(Display* d, Window target);

// Presses the key of a virtual key code with the modifiers of `flags` (the
// event flag masks) and keeps it down; a key still down from before is
// released first.
void pressKey(Display* d, std::uint16_t code, std::uint64_t flags, Window target);
// Releases the key of `code` if it is the one held down.
void releaseKey(Display* d, std::uint16_t code);

}  // namespace platform::x11
