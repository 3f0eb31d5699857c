// Linux backend, synthetic input: event objects and their delivery through
// XTest on the shared X connection (pointer.h for the pointer and the wheel,
// keyboard.h for keys and text).
//
// XTest rather than XSendEvent: toolkits mark sent events as synthetic and
// several ignore them, and a sent event reaches a window that does not hold
// the focus, where text widgets do not take it.
//
// Events for a process go to that process's front window only: keys and text
// bring it to the keyboard first (focus.h) and are then sent with XTest.
// Pointer events for a process are delivered only when the window under
// their location is that process's; otherwise they are dropped.
//
// Without a display, without XTest, or once the server is gone, events are
// made and kept as usual and dropped when posted.
#include <X11/extensions/XTest.h>

#include "platform/platform.h"
#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/focus.h"
#include "platform/x11/xserver/keyboard.h"
#include "platform/x11/xserver/pointer.h"
#include "platform/x11/xserver/window_tree.h"
#include "platform/x11/counted.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {
namespace {

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

bool isKeyEvent(std::uint32_t type) { return type == kCGEventKeyDown || type == kCGEventKeyUp; }

void pointer(Display* d, const EventObject& e) {
    x11::flushTextPieces(d, x11::activeWindow());
    x11::RootPoint at = x11::rootPoint(d, e.location);
    switch (e.type) {
    case kCGEventMouseMoved:
    case kCGEventLeftMouseDragged:
        x11::movePointer(d, at);
        break;
    case kCGEventLeftMouseDown:
    case kCGEventLeftMouseUp:
    case kCGEventRightMouseDown:
    case kCGEventRightMouseUp: {
        bool left = e.type == kCGEventLeftMouseDown || e.type == kCGEventLeftMouseUp;
        bool down = e.type == kCGEventLeftMouseDown || e.type == kCGEventRightMouseDown;
        x11::movePointer(d, at);
        x11::pressButton(d, left ? 1 : 3, down);
        break;
    }
    case kCGEventScrollWheel:
        x11::turnWheels(d, e.wheel1, e.wheel2);
        break;
    default:
        return;
    }
    XFlush(d);
}

// Text comes with key-downs (its key-ups do nothing); other keys go down and
// up as their events say.
void keyboard(Display* d, const EventObject& e, Window target) {
    if (!e.text.empty()) {
        if (e.keyDown) x11::typeTextPiece(d, e.text, target);
        return;
    }
    x11::flushTextPieces(d, target);
    if (e.keyDown)
        x11::pressKey(d, e.keyCode, e.flags, target);
    else
        x11::releaseKey(d, e.keyCode);
}

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
        x11::RootPoint at = x11::rootPoint(d, e->location);
        if (pid <= 0 || x11::pidAt(d, at.x, at.y) != pid) return;
        if (e->type == kCGEventScrollWheel) x11::movePointer(d, at);
        pointer(d, *e);
        return;
    }
    if (!isKeyEvent(e->type)) return;
    // A key-up ends what its key-down started, wherever the focus went since.
    if (!e->keyDown) {
        keyboard(d, *e, None);
        return;
    }
    Window w = x11::frontWindowOf(pid);
    if (w == None || !x11::focusWindow(d, w)) return;
    keyboard(d, *e, w);
}

}  // namespace platform
