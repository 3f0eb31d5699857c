// Linux backend, synthetic input: event objects and their delivery through
// XTest on the shared X connection.
//
// Pointer: motion to the event's location (root coordinates, rounded and
// clamped to the root window), buttons 1 (left) and 3 (right); the server and
// the toolkit count multi-clicks from timing and distance, as for a real
// mouse. Wheel: buttons 4/5 (vertical, up/down) and 6/7 (horizontal,
// left/right), one press and release per line, at most kMostWheelClicks.
//
// Keys: the virtual key code's keysym is found in the current core mapping
// (Shift added for a key's shifted level); a keysym the mapping lacks is bound
// to a spare keycode for as long as the key is down. Flags: Command and
// Control hold Control_L, Alternate Alt_L, Shift Shift_L; SecondaryFn has no
// X counterpart and is ignored. Modifiers go down before the key and up after
// it, in reverse order.
//
// Text (a key-down carrying a Unicode string; its key-up does nothing; a
// surrogate pair cut in two by the pieces is typed whole): each
// character's keysym is typed with the mapping's key when that key gives it
// with Shift or nothing, else bound to a spare keycode at every level, so the
// layout in use (de, fr, ru...) never matters; Caps Lock is off meanwhile.
// Every keymap change makes
// every X client reload its keymap, so the spares of one stretch of text are
// bound in one XKB change (core requests, one per run of consecutive
// keycodes, where XKB fails), and kept until the target client has provably read the key events: a
// _NET_WM_PING round trip to the window that receives them (a client answers
// it only after everything queued before it). A window that does not take
// part in the ping protocol, or does not answer within kPingWaitMs, costs an
// XSync and kSettleMs instead. Then the spares go back to NoSymbol.
//
// Events for a process go to that process's front window only: keys and text
// activate it first (_NET_ACTIVE_WINDOW, source 2, waiting until the window
// manager and the input focus agree, at most kActivateWaitMs) and are then
// sent with XTest. XTest rather than XSendEvent: toolkits mark sent events as
// synthetic and several ignore them, and a sent event reaches a window that
// does not hold the focus, where text widgets do not take it. Pointer events
// for a process are delivered only when the window under their location is
// that process's; otherwise they are dropped.
//
// Without a display, without XTest, or once the server is gone, events are
// made and kept as usual and dropped when posted.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/platform.h"
#include "platform/x11/xserver/keymap.h"
#include "platform/x11/x_desktop.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {
namespace {

namespace keys = x11::keys;
using Clock = std::chrono::steady_clock;

constexpr int kMostWheelClicks = 1000;
constexpr int kPingWaitMs = 1000;
constexpr int kSettleMs = 40;
constexpr int kActivateWaitMs = 1000;

struct SourceObject final : x11::Counted {
    std::int32_t state = 0;
};

struct EventObject final : x11::Counted {
    std::uint32_t type = 0;
    Point location;
    std::uint32_t button = 0;
    std::uint16_t keyCode = 0;
    bool keyDown = false;
    std::uint64_t flags = 0;
    std::u16string text;
    std::int64_t clickState = 0;
    std::int32_t wheel1 = 0;
    std::int32_t wheel2 = 0;
    std::int32_t wheel3 = 0;
};

Event makeEvent(EventObject* object) { return Event(static_cast<x11::Counted*>(object)); }

EventObject* object(const Event& event) {
    return dynamic_cast<EventObject*>(static_cast<x11::Counted*>(event.get()));
}

// ---------------------------------------------------------------------------
// The connection, when events can be delivered on it.

Display* xtestDisplay() {
    static Display* checked = nullptr;
    static bool available = false;
    Display* d = x11::display();
    if (!d) return nullptr;
    if (d != checked) {
        checked = d;
        int event = 0, error = 0, major = 0, minor = 0;
        available = XTestQueryExtension(d, &event, &error, &major, &minor);
    }
    return available ? d : nullptr;
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---------------------------------------------------------------------------
// Windows.

Window rootOf(Display* d) { return DefaultRootWindow(d); }

// The process's front window, or None.
Window frontWindowOf(std::int32_t pid) {
    if (pid <= 0) return None;  // no process has a window for these
    auto windows = x11::managedWindows(pid);
    return windows.empty() ? None : windows.front().id;
}

// The child of the root that holds `w` (its frame under a reparenting window
// manager), or None.
Window topAncestor(Display* d, Window w) {
    Window root = rootOf(d);
    x11::ErrorTrap trap;
    while (w != None && w != root) {
        Window r = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, w, &r, &parent, &children, &count)) return None;
        if (children) XFree(children);
        if (parent == root) return w;
        w = parent;
    }
    return None;
}

// Whether `w` is `outer` or one of its descendants (a toolkit may give the
// focus to a child of its top-level window).
bool inside(Display* d, Window w, Window outer) {
    Window root = rootOf(d);
    x11::ErrorTrap trap;
    while (w != None && w != root) {
        if (w == outer) return true;
        Window r = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, w, &r, &parent, &children, &count)) return false;
        if (children) XFree(children);
        w = parent;
    }
    return false;
}

// The process owning what is on screen at (x, y): the managed window whose
// frame is the topmost there, or a window of its own (a popup) that names
// its process.
std::int32_t pidAt(Display* d, int x, int y) {
    Window root = rootOf(d);
    Window child = None;
    int rx = 0, ry = 0;
    {
        x11::ErrorTrap trap;
        if (!XTranslateCoordinates(d, root, root, x, y, &rx, &ry, &child) || child == None) return 0;
    }
    for (const auto& w : x11::managedWindows())
        if (w.id == child || topAncestor(d, w.id) == child) return w.pid;
    return x11::windowPid(child);
}

bool holdsFocus(Display* d, Window w) {
    if (x11::activeWindow() != w) return false;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    return inside(d, focus, w);
}

// Asks the window manager to activate `w` and waits, bounded, until it has.
bool activate(Display* d, Window w) {
    if (holdsFocus(d, w)) return true;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = x11::atom("_NET_ACTIVE_WINDOW");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;  // from a pager: the request of a user
    ev.xclient.data.l[1] = CurrentTime;
    ev.xclient.data.l[2] = static_cast<long>(x11::activeWindow());
    XSendEvent(d, rootOf(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XFlush(d);
    auto deadline = Clock::now() + std::chrono::milliseconds(kActivateWaitMs);
    while (Clock::now() < deadline) {
        sleepMs(5);
        if (x11::connectionLost()) return false;
        if (holdsFocus(d, w)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Proof that a client has read the events sent so far.

struct PingReply {
    Atom protocols;
    Atom ping;
    long stamp;
    Window window;
};

Bool isPingReply(Display*, XEvent* e, XPointer arg) {
    auto* want = reinterpret_cast<PingReply*>(arg);
    return e->type == ClientMessage && e->xclient.message_type == want->protocols &&
           e->xclient.format == 32 && static_cast<Atom>(e->xclient.data.l[0]) == want->ping &&
           e->xclient.data.l[1] == want->stamp &&
           static_cast<Window>(e->xclient.data.l[2]) == want->window;
}

// What listening to the root's substructure brought in: the root's
// structure events and the messages clients send to the root (answers to
// pings, ours that came too late and the window manager's).
Bool isFromListening(Display* d, XEvent* e, XPointer) {
    switch (e->type) {
    case CreateNotify:
    case DestroyNotify:
    case UnmapNotify:
    case MapNotify:
    case ReparentNotify:
    case ConfigureNotify:
    case GravityNotify:
    case CirculateNotify:
    case ClientMessage:
        return e->xany.window == DefaultRootWindow(d);
    default:
        return False;
    }
}

bool speaksPing(Window w) {
    auto protocols = x11::property32(w, x11::atom("WM_PROTOCOLS"), XA_ATOM);
    return std::find(protocols.begin(), protocols.end(), x11::atom("_NET_WM_PING")) != protocols.end();
}

// A _NET_WM_PING round trip to `w`; true once its answer came back. The
// client answers to the root, to the clients listening for its substructure:
// this connection listens for the time of the wait.
bool ping(Display* d, Window w) {
    static long stamp = static_cast<long>(Clock::now().time_since_epoch().count() & 0x3fffffff);
    Window root = rootOf(d);
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, root, &attrs)) return false;
    long mask = attrs.your_event_mask;
    bool listening = mask & SubstructureNotifyMask;
    if (!listening) XSelectInput(d, root, mask | SubstructureNotifyMask);

    PingReply want{x11::atom("WM_PROTOCOLS"), x11::atom("_NET_WM_PING"), ++stamp & 0x7fffffff, w};
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = want.protocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(want.ping);
    ev.xclient.data.l[1] = want.stamp;
    ev.xclient.data.l[2] = static_cast<long>(w);
    bool answered = false;
    {
        x11::ErrorTrap trap;
        XSendEvent(d, w, False, NoEventMask, &ev);
        XFlush(d);
        auto deadline = Clock::now() + std::chrono::milliseconds(kPingWaitMs);
        XEvent reply;
        while (!x11::connectionLost()) {
            if (XCheckIfEvent(d, &reply, isPingReply, reinterpret_cast<XPointer>(&want))) {
                answered = true;
                break;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd fd{ConnectionNumber(d), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
        }
        if (trap.failed()) answered = false;  // the window went away
    }
    if (!listening && !x11::connectionLost()) {
        XSelectInput(d, root, mask);
        XSync(d, False);
        XEvent dropped;
        while (XCheckIfEvent(d, &dropped, isFromListening, nullptr)) {
        }
    }
    return answered;
}

// Returns once the client behind `target` has read every event sent so far,
// or after the fallback pause when that cannot be proved.
void settle(Display* d, Window target) {
    if (target != None && speaksPing(target) && ping(d, target)) return;
    if (x11::connectionLost()) return;
    XSync(d, False);
    sleepMs(kSettleMs);
}

// ---------------------------------------------------------------------------
// The keyboard mapping.

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

// The keymap's levels are what they say only while no modifier that selects
// a level (Shift, Lock, the third and fifth level shifts) is in effect and the
// first group is the current one.
bool levelsReliable(Display* d) {
    XkbStateRec state{};
    if (XkbGetState(d, XkbUseCoreKbd, &state) != Success) return false;
    return (state.mods & (ShiftMask | LockMask | Mod3Mask | Mod5Mask)) == 0 && state.group == 0;
}

// Gives each keycode of `bindings` its keysyms in the first group (one level
// when the two are the same, else a letter's two), or, with `clear`, takes
// them all off again, in one XKB keymap change: the range from the lowest to
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
        x11::ErrorTrap trap;
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

void remap(Display* d, const keys::CoreMap& map, const std::vector<keys::Binding>& bindings,
           bool clear) {
    dropMappingNotices(d);
    std::vector<int> codes;
    for (const auto& b : bindings) codes.push_back(b.keycode);
    auto runs = keys::keycodeRuns(codes);
    if (runs.empty()) return;
    // One run is one core change already, and needs no copy of the keymap.
    if (runs.size() > 1 && remapXkb(d, bindings, clear)) return;
    remapCore(d, map, runs, bindings, clear);
}

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

void keyDown(Display* d, const EventObject& e, Window target) {
    releaseHeld(d);  // a key left down by an earlier key-down that never came up
    keys::Keysym sym = keys::virtualKeysym(e.keyCode);
    if (sym == keys::kNoSymbol) return;
    HeldKey key;
    key.code = e.keyCode;
    key.target = target;
    key.map = readMap(d);
    bool shift = e.flags & kCGEventFlagMaskShift;
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
    key.modifiers = modifierKeys(key.map, e.flags, shift);
    for (int m : key.modifiers) fakeKey(d, m, true);
    fakeKey(d, key.keycode, true);
    XFlush(d);
    held = std::move(key);
}

void keyUp(Display* d, const EventObject& e) {
    if (held && held->code == e.keyCode) releaseHeld(d);
}

// Caps Lock turns every letter the keys give into its capital, on spare keys
// too; it is unlocked for the time of the typing (the key events carry the
// state they were made in, so locking it again right after is safe).
bool unlockCaps(Display* d) {
    XkbStateRec state{};
    if (XkbGetState(d, XkbUseCoreKbd, &state) != Success || !(state.locked_mods & LockMask)) return false;
    XkbLockModifiers(d, XkbUseCoreKbd, LockMask, 0);
    return true;
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
        if (x11::connectionLost()) return;
    }
    if (capsWasLocked) XkbLockModifiers(d, XkbUseCoreKbd, LockMask, LockMask);
    XFlush(d);
}

// ---------------------------------------------------------------------------
// The pointer.

struct RootPoint {
    int x = 0;
    int y = 0;
};

int clampCoordinate(double v, int size) {
    if (std::isnan(v)) return 0;
    double r = std::round(v);
    if (r < 0) return 0;
    if (r > size - 1) return std::max(size - 1, 0);
    return static_cast<int>(r);
}

RootPoint rootPoint(Display* d, Point p) {
    int screen = DefaultScreen(d);
    return {clampCoordinate(p.x, DisplayWidth(d, screen)), clampCoordinate(p.y, DisplayHeight(d, screen))};
}

void moveTo(Display* d, RootPoint p) { XTestFakeMotionEvent(d, DefaultScreen(d), p.x, p.y, CurrentTime); }

void clickButton(Display* d, unsigned int button, bool down) {
    XTestFakeButtonEvent(d, button, down ? True : False, CurrentTime);
}

void turnWheel(Display* d, std::int32_t amount, unsigned int positive, unsigned int negative) {
    if (amount == 0) return;
    unsigned int button = amount > 0 ? positive : negative;
    std::int64_t clicks = std::min<std::int64_t>(std::abs(static_cast<std::int64_t>(amount)), kMostWheelClicks);
    for (std::int64_t i = 0; i < clicks; ++i) {
        clickButton(d, button, true);
        clickButton(d, button, false);
    }
}

bool isPointerEvent(std::uint32_t type) {
    switch (type) {
    case kCGEventLeftMouseDown:
    case kCGEventLeftMouseUp:
    case kCGEventRightMouseDown:
    case kCGEventRightMouseUp:
    case kCGEventMouseMoved:
    case kCGEventLeftMouseDragged:
    case kCGEventScrollWheel:
        return true;
    default:
        return false;
    }
}

void flushPieces(Display* d, Window target);

void pointer(Display* d, const EventObject& e) {
    flushPieces(d, x11::activeWindow());
    RootPoint at = rootPoint(d, e.location);
    switch (e.type) {
    case kCGEventMouseMoved:
    case kCGEventLeftMouseDragged:
        moveTo(d, at);
        break;
    case kCGEventLeftMouseDown:
    case kCGEventLeftMouseUp:
    case kCGEventRightMouseDown:
    case kCGEventRightMouseUp: {
        bool left = e.type == kCGEventLeftMouseDown || e.type == kCGEventLeftMouseUp;
        bool down = e.type == kCGEventLeftMouseDown || e.type == kCGEventRightMouseDown;
        moveTo(d, at);
        clickButton(d, left ? 1 : 3, down);
        break;
    }
    case kCGEventScrollWheel:
        turnWheel(d, e.wheel1, 4, 5);
        turnWheel(d, e.wheel2, 6, 7);
        break;
    default:
        return;
    }
    XFlush(d);
}

keys::PieceJoiner pieces;

// A high surrogate held back for a low one that did not come is typed (as
// U+FFFD) before whatever came instead.
void flushPieces(Display* d, Window target) {
    if (pieces.holding()) typeText(d, pieces.flush(), target);
}

void keyboard(Display* d, const EventObject& e, Window target) {
    if (!e.text.empty()) {
        if (e.keyDown) typeText(d, pieces.take(e.text), target);
        return;
    }
    flushPieces(d, target);
    if (e.keyDown)
        keyDown(d, e, target);
    else
        keyUp(d, e);
}

bool isKeyEvent(std::uint32_t type) { return type == kCGEventKeyDown || type == kCGEventKeyUp; }

}  // namespace

EventSource cgEventSourceCreate(std::int32_t stateID) {
    auto* source = new SourceObject;
    source->state = stateID;
    return EventSource(static_cast<x11::Counted*>(source));
}

Event cgEventCreateMouseEvent(const EventSource&, std::uint32_t type, Point position, std::uint32_t button) {
    auto* e = new EventObject;
    e->type = type;
    e->location = position;
    e->button = button;
    return makeEvent(e);
}

Event cgEventCreateKeyboardEvent(const EventSource&, std::uint16_t keyCode, bool keyDown) {
    auto* e = new EventObject;
    e->type = keyDown ? kCGEventKeyDown : kCGEventKeyUp;
    e->keyCode = keyCode;
    e->keyDown = keyDown;
    return makeEvent(e);
}

Event cgEventCreateScrollWheelEvent2(const EventSource&, std::uint32_t, std::uint32_t wheelCount,
                                     std::int32_t wheel1, std::int32_t wheel2, std::int32_t wheel3) {
    auto* e = new EventObject;
    e->type = kCGEventScrollWheel;
    e->wheel1 = wheelCount >= 1 ? wheel1 : 0;
    e->wheel2 = wheelCount >= 2 ? wheel2 : 0;
    e->wheel3 = wheelCount >= 3 ? wheel3 : 0;
    return makeEvent(e);
}

void cgEventKeyboardSetUnicodeString(const Event& event, std::u16string_view text) {
    if (auto* e = object(event)) e->text.assign(text);
}

void cgEventSetFlags(const Event& event, std::uint64_t flags) {
    if (auto* e = object(event)) e->flags = flags;
}

void cgEventSetIntegerValueField(const Event& event, std::uint32_t field, std::int64_t value) {
    if (auto* e = object(event); e && field == kCGMouseEventClickState) e->clickState = value;
}

void cgEventSetLocation(const Event& event, Point location) {
    if (auto* e = object(event)) e->location = location;
}

void cgEventPost(std::uint32_t, const Event& event) {
    const EventObject* e = object(event);
    Display* d = xtestDisplay();
    if (!e || !d) return;
    if (isPointerEvent(e->type))
        pointer(d, *e);
    else if (isKeyEvent(e->type))
        keyboard(d, *e, x11::activeWindow());
}

void cgEventPostToPid(std::int32_t pid, const Event& event) {
    const EventObject* e = object(event);
    Display* d = xtestDisplay();
    if (!e || !d) return;
    if (isPointerEvent(e->type)) {
        RootPoint at = rootPoint(d, e->location);
        if (pid <= 0 || pidAt(d, at.x, at.y) != pid) return;
        if (e->type == kCGEventScrollWheel) moveTo(d, at);
        pointer(d, *e);
        return;
    }
    if (!isKeyEvent(e->type)) return;
    // A key-up ends what its key-down started, wherever the focus went since.
    if (!e->keyDown) {
        keyboard(d, *e, None);
        return;
    }
    Window w = frontWindowOf(pid);
    if (w == None || !activate(d, w)) return;
    keyboard(d, *e, w);
}

}  // namespace platform
