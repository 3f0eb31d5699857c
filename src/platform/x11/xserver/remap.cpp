#include "platform/x11/xserver/remap.h"

#include <X11/XKBlib.h>

#include <algorithm>
#include <utility>

#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {
namespace {

// One XKB keymap change for all of `bindings`: the range from the lowest to
// the highest keycode goes to the server, the keys between them unchanged.
// False when XKB could not make the change.
bool remapXkb(Display* d, const std::vector<keys::Binding>& bindings, bool clear) {
    XkbDescPtr xkb = XkbGetMap(d, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb) return false;
    bool ok = xkb->map != nullptr;
    int lo = xkb->max_key_code, hi = xkb->min_key_code;
    for (const auto& b : bindings) {
        if (!ok) break;
        if (b.keycode < xkb->min_key_code || b.keycode > xkb->max_key_code) {
            ok = false;
            break;
        }
        lo = std::min(lo, b.keycode);
        hi = std::max(hi, b.keycode);
        auto key = static_cast<KeyCode>(b.keycode);
        keys::Keysym shifted = b.shifted ? b.shifted : b.sym;
        int width = clear ? 0 : shifted == b.sym ? 1 : 2;
        KeySym* syms = XkbResizeKeySyms(xkb, key, width);
        if (!syms) {
            ok = false;
            break;
        }
        XkbSymMapPtr map = &xkb->map->key_sym_map[key];
        for (auto& type : map->kt_index) type = width == 2 ? XkbAlphabeticIndex : XkbOneLevelIndex;
        map->group_info = static_cast<unsigned char>(XkbSetNumGroups(0, clear ? 0 : 1));
        map->width = static_cast<unsigned char>(std::max(width, 1));
        if (width >= 1) syms[0] = b.sym;
        if (width == 2) syms[1] = shifted;
    }
    if (ok && !bindings.empty()) {
        ErrorTrap trap;
        XkbMapChangesRec changes{};
        changes.changed = XkbKeySymsMask;
        changes.first_key_sym = static_cast<KeyCode>(lo);
        changes.num_key_syms = static_cast<unsigned char>(hi - lo + 1);
        ok = XkbChangeMap(d, xkb, &changes) && !trap.failed();
    }
    XkbFreeKeyboard(xkb, 0, True);
    return ok;
}

// The same with core requests, for a server without XKB: one keymap change
// per run of consecutive keycodes (`runs`, those of `bindings`).
void remapCore(Display* d, const keys::CoreMap& map, const std::vector<std::pair<int, int>>& runs,
               const std::vector<keys::Binding>& bindings, bool clear) {
    if (map.perKeycode <= 0) return;
    for (auto [first, count] : runs) {
        std::vector<KeySym> syms(static_cast<std::size_t>(count) * static_cast<std::size_t>(map.perKeycode),
                                 NoSymbol);
        if (!clear)
            for (const auto& b : bindings)
                if (b.keycode >= first && b.keycode < first + count) {
                    auto row = static_cast<std::size_t>(b.keycode - first) *
                               static_cast<std::size_t>(map.perKeycode);
                    syms[row] = b.sym;
                    if (map.perKeycode > 1) syms[row + 1] = b.shifted ? b.shifted : b.sym;
                }
        XChangeKeyboardMapping(d, first, map.perKeycode, syms.data(), count);
    }
}

// Every keymap change leaves a MappingNotify in this connection's queue; read
// them, so that the queue does not grow and Xlib's own keysym tables follow.
void dropMappingNotices(Display* d) {
    XEvent ev;
    while (XCheckTypedEvent(d, MappingNotify, &ev)) XRefreshKeyboardMapping(&ev.xmapping);
}

}  // namespace

keys::CoreMap readMap(Display* d) {
    keys::CoreMap map;
    int lo = 0, hi = 0;
    XDisplayKeycodes(d, &lo, &hi);
    if (hi < lo) return map;
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(d, static_cast<KeyCode>(lo), hi - lo + 1, &per);
    if (!syms) return map;
    map.minKeycode = lo;
    map.perKeycode = per;
    map.syms.reserve(static_cast<std::size_t>(hi - lo + 1) * static_cast<std::size_t>(per));
    for (std::size_t i = 0; i < static_cast<std::size_t>(hi - lo + 1) * static_cast<std::size_t>(per); ++i)
        map.syms.push_back(static_cast<keys::Keysym>(syms[i]));
    XFree(syms);
    return map;
}

std::vector<int> modifierKeycodes(Display* d) {
    std::vector<int> out;
    XModifierKeymap* mods = XGetModifierMapping(d);
    if (!mods) return out;
    for (int i = 0; i < 8 * mods->max_keypermod; ++i)
        if (mods->modifiermap[i]) out.push_back(mods->modifiermap[i]);
    XFreeModifiermap(mods);
    return out;
}

bool levelsReliable(Display* d) {
    XkbStateRec state{};
    if (XkbGetState(d, XkbUseCoreKbd, &state) != Success) return false;
    return (state.mods & (ShiftMask | LockMask | Mod3Mask | Mod5Mask)) == 0 && state.group == 0;
}

void remap(Display* d, const keys::CoreMap& map, const std::vector<keys::Binding>& bindings, bool clear) {
    dropMappingNotices(d);
    std::vector<int> codes;
    for (const auto& b : bindings) codes.push_back(b.keycode);
    auto runs = keys::keycodeRuns(codes);
    if (runs.empty()) return;
    // One run is one core change already, and needs no copy of the keymap.
    if (runs.size() > 1 && remapXkb(d, bindings, clear)) return;
    remapCore(d, map, runs, bindings, clear);
}

// The key events carry the state they were made in, so locking Caps Lock
// again right after the typing is safe.
bool unlockCaps(Display* d) {
    XkbStateRec state{};
    if (XkbGetState(d, XkbUseCoreKbd, &state) != Success || !(state.locked_mods & LockMask)) return false;
    XkbLockModifiers(d, XkbUseCoreKbd, LockMask, 0);
    return true;
}

void relockCaps(Display* d) { XkbLockModifiers(d, XkbUseCoreKbd, LockMask, LockMask); }

}  // namespace platform::x11
