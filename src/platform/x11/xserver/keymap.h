// Keys and text on X11, the part that needs no connection: which keysym a
// macOS virtual key code or a typed character stands for, where a keysym sits
// in a core keyboard mapping, and how a run of characters is typed with the
// keys the mapping has plus spare keycodes bound for the rest.
// Internal to the Linux backend.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::x11::keys {

using Keysym = std::uint32_t;
inline constexpr Keysym kNoSymbol = 0;

// The keysym of a macOS virtual key code (the kVK_* values of a US ANSI
// keyboard: 0 is "a", 36 Return, 51 BackSpace, 117 forward Delete...);
// kNoSymbol for codes that name no key X has (fn, unassigned codes).
Keysym virtualKeysym(std::uint16_t code);

// The code points of UTF-16 text; a surrogate without its partner is U+FFFD.
std::u32string codePoints(std::u16string_view text);

// Text arrives in pieces cut at a fixed number of UTF-16 units, sometimes
// between the two halves of a surrogate pair. The joiner holds a piece's
// trailing high surrogate back and puts it in front of the next piece.
class PieceJoiner {
public:
    // The text to type for `piece`, with what was held back before it.
    std::u16string take(std::u16string_view piece);
    // What is held back (empty or one high surrogate), no longer held.
    std::u16string flush();
    bool holding() const { return !held_.empty(); }

private:
    std::u16string held_;
};

// The keysym that types `cp`: Latin-1 characters are their own keysyms, tab
// and carriage return are the Tab and Return keys, any other character is
// 0x01000000 + cp. kNoSymbol for the control characters no key types.
Keysym textKeysym(char32_t cp);

// A core keyboard mapping as XGetKeyboardMapping gives it: `perKeycode`
// keysyms for each keycode from `minKeycode` up. Index 0 and 1 are the first
// group's plain and shifted levels.
struct CoreMap {
    int minKeycode = 8;
    int perKeycode = 0;
    std::vector<Keysym> syms;

    int maxKeycode() const;
    Keysym at(int keycode, int index) const;  // kNoSymbol outside the mapping
};

// One key press: the keycode, with Shift held around it or not.
struct Stroke {
    int keycode = 0;
    bool shift = false;

    bool operator==(const Stroke&) const = default;
};

// Where `sym` is typed with no modifier other than Shift: the first keycode
// holding it at the plain level, else the first holding it at the shifted one
// (only when `shiftAllowed`).
std::optional<Stroke> findKey(const CoreMap& map, Keysym sym, bool shiftAllowed = true);

// Keycodes without any keysym, minus `reserved` (keycodes of the modifier
// map), the longest runs of consecutive keycodes first so that a few bindings
// land in one keymap change; ascending within a run.
std::vector<int> spareKeycodes(const CoreMap& map, const std::vector<int>& reserved);

// The runs of consecutive keycodes in `keycodes`, as (first, count) pairs in
// ascending order; duplicates count once.
std::vector<std::pair<int, int>> keycodeRuns(std::vector<int> keycodes);

// A keysym given to a spare keycode: `sym` at the plain level, `shifted`
// (kNoSymbol: `sym` again) at the shifted one.
struct Binding {
    int keycode = 0;
    Keysym sym = kNoSymbol;
    Keysym shifted = kNoSymbol;

    bool operator==(const Binding&) const = default;
};

// A stretch of typing: keysyms bound to spare keycodes for the time of its
// strokes (none when the mapping had every key), then the strokes in order.
struct Batch {
    std::vector<Binding> bindings;
    std::vector<Stroke> strokes;
};

// How to type `syms`. A keysym the mapping holds at the plain or shifted level
// is typed with that key when `useMapping` (false while modifiers or a group
// other than the first are in effect: the mapping's levels would come out
// wrong) and, for the shifted level, `shiftAllowed`. Every other keysym is
// bound to a spare keycode at each level, once per batch; a new batch starts
// when the spares run out. Without any spare those keysyms are skipped.
std::vector<Batch> planTyping(const CoreMap& map, const std::vector<Keysym>& syms,
                              const std::vector<int>& spares, bool useMapping, bool shiftAllowed);

}  // namespace platform::x11::keys
