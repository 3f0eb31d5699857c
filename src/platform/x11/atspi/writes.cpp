// Writing an element's value, counted as done only when the element shows
// it: a toolkit's "true" alone proves nothing (Firefox answers SetTextContents
// with true and changes nothing, Chromium offers no EditableText at all).
//
// Text goes through EditableText when the toolkit applies it there; otherwise
// the element is focused in its active window, its text selected with the
// keyboard and replaced by typing, as a user would. Numbers go through Value.
#include <atspi/atspi-constants.h>

#include <chrono>
#include <climits>
#include <optional>
#include <thread>

#include "platform/x11/atspi/roles.h"
#include "platform/x11/atspi/seam.h"
#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/focus.h"
#include "platform/x11/xserver/keyboard.h"
#include "platform/x11/xserver/pointer.h"
#include "platform/x11/xserver/window_tree.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::atspi {

namespace {

using Clock = std::chrono::steady_clock;

// How long a toolkit may take to show what it was given: browsers apply
// edits in another process and report them later.
constexpr auto kShowWait = std::chrono::milliseconds(2000);
// How long an EditableText write that answered "true" may take to show
// before the keyboard is used instead.
constexpr auto kDirectWait = std::chrono::milliseconds(250);
constexpr auto kPollStep = std::chrono::milliseconds(20);
constexpr std::uint16_t kKeyA = 0x00;          // virtual key codes
constexpr std::uint16_t kKeyBackspace = 0x33;

std::optional<std::string> readText(Session& s, const Ref& ref) {
    Call c{ref, kTextIface, "GetText", "ii", 0, s.model().bridgeOf(ref.bus).wholeTextEnd};
    std::string text;
    if (!s.sender().runOne(c) || !Reader(c.reply()).get(text)) return std::nullopt;
    return text;
}

std::optional<double> readNumber(Session& s, const Ref& ref) {
    Call c{ref, kPropertiesIface, "Get", "ss", kValueIface, "CurrentValue"};
    double d = 0;
    if (!s.sender().runOne(c) || !Reader(c.reply()).value().get(d)) return std::nullopt;
    return d;
}

// Polls until `shows` holds or the wait ends; stops early when the
// application stopped answering.
template <class Test>
bool showsWithin(Session& s, const Ref& ref, Clock::duration wait, Test shows) {
    auto deadline = Clock::now() + wait;
    for (;;) {
        if (shows()) return true;
        if (s.sender().unresponsive(ref.bus) || Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollStep);
    }
}

bool showsText(Session& s, const Ref& ref, const std::string& wanted, Clock::duration wait) {
    return showsWithin(s, ref, wait, [&] { return readText(s, ref) == wanted; });
}

std::u16string utf16(const std::string& utf8) {  // of valid UTF-8
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        i += extra + 1;
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// A left click at the centre of the element's frame, as a user would: for
// what a toolkit offers no other way to do (GTK 4.8's check buttons have no
// action, its widgets do not take GrabFocus). Only when the centre lies in a
// window of the element's own application, made active first.
bool clickCentre(Session& s, const Ref& ref) {
    Display* d = x11::display();
    auto pid = s.model().pidOfBus(ref.bus);
    Node* n = s.model().details(ref);
    if (!d || !pid || !n || !n->extents) return false;
    auto [x, y, w, h] = *n->extents;
    if (w <= 0 || h <= 0 || x == INT_MIN || y == INT_MIN) return false;
    std::int64_t cx = x + std::int64_t{w} / 2, cy = y + std::int64_t{h} / 2;
    Window window = x11::frontWindowOf(*pid);
    if (window == None) return false;
    if (cx < INT_MIN / 2 || cx > INT_MAX / 2 || cy < INT_MIN / 2 || cy > INT_MAX / 2) return false;
    if (!x11::focusWindow(d, window) || x11::pidAt(d, static_cast<int>(cx), static_cast<int>(cy)) != *pid)
        return false;
    x11::movePointer(d, x11::RootPoint{static_cast<int>(cx), static_cast<int>(cy)});
    x11::pressButton(d, 1, true);
    x11::pressButton(d, 1, false);
    XSync(d, False);
    return true;
}

// The element's states as they are now (not as the request first read them).
std::optional<States> statesNow(Session& s, const Ref& ref) {
    Call c{ref, kAccessibleIface, "GetState"};
    States states{};
    if (!s.sender().runOne(c) || !Reader(c.reply()).get(states)) return std::nullopt;
    return states;
}

bool focused(Session& s, const Ref& ref) {
    auto states = statesNow(s, ref);
    return states && hasState(*states, ATSPI_STATE_FOCUSED);
}

// Replaces the element's text from the keyboard: its application's window
// made active, the element given the focus, everything in it selected, the
// text typed over it. Nothing is typed unless the element itself holds the
// keyboard focus.
bool typeOver(Session& s, const Ref& ref, const Node& n, const std::string& text) {
    Display* d = x11::display();
    auto pid = s.model().pidOfBus(ref.bus);
    if (!d || !pid || !(n.ifaces & ifComponent)) return false;
    Window window = x11::frontWindowOf(*pid);
    if (window == None || !x11::focusWindow(d, window)) return false;
    if (!focus(s, ref) || !showsWithin(s, ref, kShowWait, [&] { return focused(s, ref); }) ||
        !x11::holdsFocus(d, window))
        return false;
    x11::pressKey(d, kKeyA, kCGEventFlagMaskControl, window);
    x11::releaseKey(d, kKeyA);
    if (text.empty()) {
        x11::pressKey(d, kKeyBackspace, 0, window);
        x11::releaseKey(d, kKeyBackspace);
    } else {
        x11::typeTextPiece(d, utf16(text), window);
        x11::flushTextPieces(d, window);
    }
    XSync(d, False);
    return showsText(s, ref, text, kShowWait);
}

AXError setText(Session& s, const Ref& ref, const Node& n, const std::string& text) {
    bool typable = (n.ifaces & ifText) && n.has(ATSPI_STATE_EDITABLE) && n.has(ATSPI_STATE_FOCUSABLE);
    if (!(n.ifaces & ifEditableText) && !typable) return kAXErrorAttributeUnsupported;
    // D-Bus strings are UTF-8 without NUL: anything else cannot be sent
    // whole, and is refused rather than cut.
    if (text.find('\0') != std::string::npos || !dbus_validate_utf8(text.c_str(), nullptr))
        return kAXErrorIllegalArgument;
    if (n.ifaces & ifEditableText) {
        auto before = readText(s, ref);
        if (answeredTrue(s, Call{ref, kEditableTextIface, "SetTextContents", "s", text})) {
            // Taken as it is, or changed by the toolkit's own rules (a
            // length limit, a filter): either way the toolkit applied it.
            std::optional<std::string> now;
            if (showsWithin(s, ref, kDirectWait, [&] { return (now = readText(s, ref)) && *now != before; }) ||
                now == text)
                return kAXErrorSuccess;
        }
        if (s.sender().unresponsive(ref.bus)) return kAXErrorCannotComplete;
    }
    if (!typable) return kAXErrorCannotComplete;
    if (readText(s, ref) == text) return kAXErrorSuccess;
    return typeOver(s, ref, n, text) ? kAXErrorSuccess : kAXErrorCannotComplete;
}

AXError setNumber(Session& s, const Ref& ref, const Node& n, double wanted) {
    if (!(n.ifaces & ifValue)) return kAXErrorAttributeUnsupported;
    auto before = readNumber(s, ref);
    Call c{ref, kPropertiesIface, "Set", "ssv", kValueIface, "CurrentValue", wanted};
    if (!s.sender().runOne(c)) return kAXErrorCannotComplete;
    // The toolkit may round to its step or clamp to its range: a value that
    // moved, or that was already there, is a write it took.
    std::optional<double> now;
    bool took = showsWithin(s, ref, kDirectWait, [&] {
        now = readNumber(s, ref);
        return now && (*now == wanted || *now != before);
    });
    return took ? kAXErrorSuccess : kAXErrorCannotComplete;
}

}  // namespace

bool pressedByClick(const Node& n) {
    return isCheckable(n.role) && (n.ifaces & ifComponent) && actionIndex(n.actions, n.role, "AXPress") < 0;
}

bool focus(Session& s, const Ref& ref) {
    if (answeredTrue(s, Call{ref, kComponentIface, "GrabFocus"})) return true;
    // A text field takes the focus from a click, as it does from the user.
    const Node* n = s.model().basic(ref);
    if (!n || !textIsValue(n->role) || !n->has(ATSPI_STATE_EDITABLE) || !clickCentre(s, ref)) return false;
    return showsWithin(s, ref, kShowWait, [&] { return focused(s, ref); });
}

bool pressByClick(Session& s, const Ref& ref) {
    const Node* n = s.model().basic(ref);
    if (!n || !isCheckable(n->role) || !n->has(ATSPI_STATE_SENSITIVE)) return false;
    const bool before = n->has(ATSPI_STATE_CHECKED);
    if (!clickCentre(s, ref)) return false;
    // Done once the state shows it.
    return showsWithin(s, ref, kShowWait, [&] {
        auto states = statesNow(s, ref);
        return states && hasState(*states, ATSPI_STATE_CHECKED) != before;
    });
}

AXError setValue(Session& s, const Ref& ref, const Node& n, const Value& value) {
    if (auto text = value.as<std::string>()) return setText(s, ref, n, *text);
    const double* real = value.as<double>();
    const std::int64_t* integer = value.as<std::int64_t>();
    if (!real && !integer) return kAXErrorIllegalArgument;
    return setNumber(s, ref, n, real ? *real : static_cast<double>(*integer));
}

}  // namespace platform::atspi
