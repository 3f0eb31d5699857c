#include "platform/x11/xserver/keyboard.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <optional>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/xserver/keymap.h"
#include "platform/x11/xserver/remap.h"
#include "platform/x11/xserver/settle.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {
namespace {

void fakeKey(Display* d, int keycode, bool down) {
    XTestFakeKeyEvent(d, static_cast<unsigned int>(keycode), down ? True : False, CurrentTime);
}

// Keycodes of the modifiers `flags` asks for, in pressing order.
std::vector<int> modifierKeys(const keys::CoreMap& map, std::uint64_t flags, bool shift) {
    std::vector<keys::Keysym> wanted;
    if (flags & (kCGEventFlagMaskCommand | kCGEventFlagMaskControl)) wanted.push_back(XK_Control_L);
    if (flags & kCGEventFlagMaskAlternate) wanted.push_back(XK_Alt_L);
    if (shift) wanted.push_back(XK_Shift_L);
    std::vector<int> out;
    for (auto sym : wanted)
        if (auto key = keys::findKey(map, sym, false)) out.push_back(key->keycode);
    return out;
}

// The key held between a key-down and its key-up.
struct HeldKey {
    std::uint16_t code = 0;
    int keycode = 0;
    std::vector<int> modifiers;
    std::vector<keys::Binding> binding;  // the spare it was bound to, if any
    keys::CoreMap map;                   // for clearing that spare
    Window target = None;
};
std::optional<HeldKey> held;

keys::PieceJoiner pieces;

void releaseHeld(Display* d) {
    if (!held) return;
    fakeKey(d, held->keycode, false);
    for (auto it = held->modifiers.rbegin(); it != held->modifiers.rend(); ++it) fakeKey(d, *it, false);
    XFlush(d);
    if (!held->binding.empty()) {
        settle(d, held->target);
        remap(d, held->map, held->binding, true);
        XFlush(d);
    }
    held.reset();
}

void typeText(Display* d, std::u16string_view text, Window target) {
    releaseHeld(d);
    std::vector<keys::Keysym> syms;
    for (char32_t cp : keys::codePoints(text)) syms.push_back(keys::textKeysym(cp));
    if (syms.empty()) return;
    bool capsWasLocked = unlockCaps(d);
    keys::CoreMap map = readMap(d);
    auto shiftKey = keys::findKey(map, XK_Shift_L, false);
    auto plan = keys::planTyping(map, syms, keys::spareKeycodes(map, modifierKeycodes(d)),
                                 levelsReliable(d), shiftKey.has_value());
    for (const auto& batch : plan) {
        remap(d, map, batch.bindings, false);
        for (const auto& stroke : batch.strokes) {
            if (stroke.shift) fakeKey(d, shiftKey->keycode, true);
            fakeKey(d, stroke.keycode, true);
            fakeKey(d, stroke.keycode, false);
            if (stroke.shift) fakeKey(d, shiftKey->keycode, false);
        }
        XFlush(d);
        if (batch.bindings.empty()) continue;
        settle(d, target);
        remap(d, map, batch.bindings, true);
        XFlush(d);
        if (connectionLost()) return;
    }
    if (capsWasLocked) relockCaps(d);
    XFlush(d);
}

}  // namespace

void typeTextPiece(Display* d, std::u16string_view piece, Window target) {
    typeText(d, pieces.take(piece), target);
}

void flushTextPieces(Display* d, Window target) {
    if (pieces.holding()) typeText(d, pieces.flush(), target);
}

void pressKey(Display* d, std::uint16_t code, std::uint64_t flags, Window target) {
    releaseHeld(d);  // a key left down by an earlier key-down that never came up
    keys::Keysym sym = keys::virtualKeysym(code);
    if (sym == keys::kNoSymbol) return;
    HeldKey key;
    key.code = code;
    key.target = target;
    key.map = readMap(d);
    bool shift = flags & kCGEventFlagMaskShift;
    // A keypad key's second level belongs to Num Lock, not to Shift: its
    // digits are bound to a spare key like keysyms the mapping lacks.
    bool keypad = sym >= XK_KP_Space && sym <= XK_KP_Equal;
    if (auto stroke = keys::findKey(key.map, sym, !keypad)) {
        key.keycode = stroke->keycode;
        shift = shift || stroke->shift;
    } else {
        auto spares = keys::spareKeycodes(key.map, modifierKeycodes(d));
        if (spares.empty()) return;
        key.keycode = spares.front();
        // A letter keeps its capital on the shifted level, so that Shift
        // gives the capital as it does on a key of the mapping.
        KeySym lower = NoSymbol, upper = NoSymbol;
        XConvertCase(sym, &lower, &upper);
        key.binding.push_back({key.keycode, sym, static_cast<keys::Keysym>(upper)});
        remap(d, key.map, key.binding, false);
    }
    key.modifiers = modifierKeys(key.map, flags, shift);
    for (int m : key.modifiers) fakeKey(d, m, true);
    fakeKey(d, key.keycode, true);
    XFlush(d);
    held = std::move(key);
}

void releaseKey(Display* d, std::uint16_t code) {
    if (held && held->code == code) releaseHeld(d);
}

}  // namespace platform::x11
