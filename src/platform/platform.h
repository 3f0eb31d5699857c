// The platform seam: the only header the subsystems include for OS work.
//
// Its vocabulary is the macOS one (accessibility attribute and action names,
// AX error codes, window-info keys, Quartz event types and fields, workspace
// application properties), because that is what the agent's logic is written
// in. Each backend (macOS, Linux X11/AT-SPI, the test fake) defines every
// function declared here; the build links exactly one backend.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------
// Handles. A handle owns one reference to a platform object and gives it back
// in its destructor, so whatever a request obtained is released before the
// request is answered, on success and on failure alike.

enum class HandleKind { element, event, app, source };

// Defined by the backend. `retainRef` adds a reference, `releaseRef` drops one.
void retainRef(HandleKind kind, void* ref) noexcept;
void releaseRef(HandleKind kind, void* ref) noexcept;

template <HandleKind K>
class Handle {
public:
    Handle() noexcept = default;
    // Adopts a reference the caller already owns (a Create/Copy result).
    explicit Handle(void* owned) noexcept : ref_(owned) {}
    Handle(const Handle& other) noexcept : ref_(other.ref_) {
        if (ref_) retainRef(K, ref_);
    }
    Handle(Handle&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
    Handle& operator=(Handle other) noexcept {
        std::swap(ref_, other.ref_);
        return *this;
    }
    ~Handle() {
        if (ref_) releaseRef(K, ref_);
    }
    void* get() const noexcept { return ref_; }
    explicit operator bool() const noexcept { return ref_ != nullptr; }

private:
    void* ref_ = nullptr;
};

using Element = Handle<HandleKind::element>;    // an accessibility element
using Event = Handle<HandleKind::event>;        // a synthetic input event
using App = Handle<HandleKind::app>;            // a running application
using EventSource = Handle<HandleKind::source>; // the source events are made from

// ---------------------------------------------------------------------------
// Values copied from the platform.

struct Point {
    double x = 0;
    double y = 0;
};
struct Size {
    double width = 0;
    double height = 0;
};
struct Rect {
    Point origin;
    Size size;
};

struct Value;
using Array = std::vector<Value>;
using Dictionary = std::vector<std::pair<std::string, Value>>;
struct Other {};  // a platform value of a kind the agent never interprets

// None, string, integer, real, boolean, element, array, dictionary, wrapped
// point, wrapped size, other. A number keeps whether it was an integer, so a
// checkbox value 1 is written back as 1.
struct Value {
    using Variant = std::variant<std::monostate, std::string, std::int64_t, double, bool, Element,
                                 Array, Dictionary, Point, Size, Other>;
    Variant v;

    Value() = default;
    template <class T, class = std::enable_if_t<!std::is_same_v<std::decay_t<T>, Value>>>
    Value(T&& x) : v(std::forward<T>(x)) {}  // NOLINT(google-explicit-constructor)
    Value(const char* s) : v(std::string(s)) {}  // NOLINT(google-explicit-constructor)
    Value(int i) : v(static_cast<std::int64_t>(i)) {}  // NOLINT(google-explicit-constructor)

    bool isNone() const { return std::holds_alternative<std::monostate>(v); }
    template <class T>
    const T* as() const {
        return std::get_if<T>(&v);
    }
    // Looks a key up in a dictionary value; null when absent or not a dictionary.
    const Value* find(std::string_view key) const {
        if (auto d = as<Dictionary>())
            for (auto& [k, val] : *d)
                if (k == key) return &val;
        return nullptr;
    }
};

// ---------------------------------------------------------------------------
// Main executor, clock.

// Queues a task for the main thread. Safe to call from any thread; tasks run
// one at a time in submission order.
void submit(std::function<void()> task);
// Serves the main executor on the calling (main) thread; does not return.
[[noreturn]] void serveMainExecutor();
// Blocks the calling thread (usleep).
void sleepMicroseconds(std::uint32_t microseconds);
// A monotonic clock in microseconds, for measuring waits; its origin is
// arbitrary.
std::uint64_t monotonicMicroseconds();

// ---------------------------------------------------------------------------
// Requests. A backend may remember, for the length of one request, what it
// fetched and which applications did not answer; nothing of it outlives the
// request. The dispatcher opens one scope around each operation it runs.

void beginRequest();
void endRequest();

class RequestScope {
public:
    RequestScope() { beginRequest(); }
    ~RequestScope() { endRequest(); }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;
};

// ---------------------------------------------------------------------------
// Accessibility.

// How long one accessibility call may wait for an application's answer.
inline constexpr float kAXMessagingTimeoutSeconds = 2.0f;

using AXError = std::int32_t;
inline constexpr AXError kAXErrorSuccess = 0;
inline constexpr AXError kAXErrorFailure = -25200;
inline constexpr AXError kAXErrorIllegalArgument = -25201;
inline constexpr AXError kAXErrorInvalidUIElement = -25202;
inline constexpr AXError kAXErrorCannotComplete = -25204;
inline constexpr AXError kAXErrorAttributeUnsupported = -25205;
inline constexpr AXError kAXErrorActionUnsupported = -25206;
inline constexpr AXError kAXErrorAPIDisabled = -25211;
inline constexpr AXError kAXErrorNoValue = -25212;

Element axCreateApplication(std::int32_t pid);
Element axCreateSystemWide();
AXError axSetMessagingTimeout(const Element& element, float seconds);
// On success `value` receives the attribute's value (possibly none).
AXError axCopyAttributeValue(const Element& element, const std::string& attribute, Value& value);
// On success `names` receives the action names (normally an array of strings).
AXError axCopyActionNames(const Element& element, Value& names);
AXError axCopyElementAtPosition(const Element& application, float x, float y, Element& element);
AXError axPerformAction(const Element& element, const std::string& action);
AXError axSetAttributeValue(const Element& element, const std::string& attribute, const Value& value);
bool axIsProcessTrusted();
// AXIsProcessTrustedWithOptions with kAXTrustedCheckOptionPrompt set to true.
bool axIsProcessTrustedWithPrompt();
// IsSecureEventInputEnabled: some application has secure keyboard input on.
bool isSecureEventInputEnabled();

// ---------------------------------------------------------------------------
// Window server and display.

inline constexpr std::uint32_t kCGWindowListOptionOnScreenOnly = 1u << 0;
inline constexpr std::uint32_t kCGWindowListExcludeDesktopElements = 1u << 4;
inline constexpr std::uint32_t kCGNullWindowID = 0;

// Window-info dictionary keys (the strings the window server uses).
inline constexpr std::string_view kCGWindowNumber = "kCGWindowNumber";
inline constexpr std::string_view kCGWindowLayer = "kCGWindowLayer";
inline constexpr std::string_view kCGWindowBounds = "kCGWindowBounds";
inline constexpr std::string_view kCGWindowAlpha = "kCGWindowAlpha";
inline constexpr std::string_view kCGWindowOwnerPID = "kCGWindowOwnerPID";
inline constexpr std::string_view kCGWindowOwnerName = "kCGWindowOwnerName";
inline constexpr std::string_view kCGWindowName = "kCGWindowName";

// An array of window dictionaries, front to back; none when the query fails.
Value cgWindowListCopyWindowInfo(std::uint32_t option, std::uint32_t relativeToWindow);
// Decodes a rectangle's dictionary representation ("X", "Y", "Width", "Height").
bool cgRectMakeWithDictionaryRepresentation(const Value& dictionary, Rect& rect);
// Inside, or on the minimum-x or minimum-y edge; an empty rectangle holds no point.
bool cgRectContainsPoint(const Rect& rect, const Point& point);
std::uint32_t cgMainDisplayID();
Rect cgDisplayBounds(std::uint32_t display);
bool cgPreflightScreenCaptureAccess();
bool cgRequestScreenCaptureAccess();

// ---------------------------------------------------------------------------
// Screen capture.

// An image: 8-bit RGB, three bytes per pixel, rows top to bottom, no padding.
struct Bitmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

enum class CaptureError { none, noDisplay, notAllowed, failed };

// Captures the part of `wanted` (global points) that lies on the displays, at
// the displays' own resolution. `captured` receives that part (empty when
// none of `wanted` is on a display; then nothing is captured and the answer
// is CaptureError::none), `scale` the image's pixels per point.
CaptureError captureScreen(const Rect& wanted, Rect& captured, Bitmap& image, double& scale);

// A PNG file of `image` with fast compression (a controller waits for it);
// empty when it cannot be encoded.
std::string encodePng(const Bitmap& image);

// ---------------------------------------------------------------------------
// Synthetic input.

inline constexpr std::int32_t kCGEventSourceStateHIDSystemState = 1;
inline constexpr std::uint32_t kCGHIDEventTap = 0;

inline constexpr std::uint32_t kCGEventLeftMouseDown = 1;
inline constexpr std::uint32_t kCGEventLeftMouseUp = 2;
inline constexpr std::uint32_t kCGEventRightMouseDown = 3;
inline constexpr std::uint32_t kCGEventRightMouseUp = 4;
inline constexpr std::uint32_t kCGEventMouseMoved = 5;
inline constexpr std::uint32_t kCGEventLeftMouseDragged = 6;
inline constexpr std::uint32_t kCGEventKeyDown = 10;
inline constexpr std::uint32_t kCGEventKeyUp = 11;
inline constexpr std::uint32_t kCGEventScrollWheel = 22;

inline constexpr std::uint32_t kCGMouseButtonLeft = 0;
inline constexpr std::uint32_t kCGMouseButtonRight = 1;
inline constexpr std::uint32_t kCGMouseEventClickState = 1;
inline constexpr std::uint32_t kCGScrollEventUnitLine = 1;

inline constexpr std::uint64_t kCGEventFlagMaskShift = 0x20000;
inline constexpr std::uint64_t kCGEventFlagMaskControl = 0x40000;
inline constexpr std::uint64_t kCGEventFlagMaskAlternate = 0x80000;
inline constexpr std::uint64_t kCGEventFlagMaskCommand = 0x100000;
inline constexpr std::uint64_t kCGEventFlagMaskSecondaryFn = 0x800000;

EventSource cgEventSourceCreate(std::int32_t stateID);
// Event constructors return an empty handle when the event cannot be made.
Event cgEventCreateMouseEvent(const EventSource& source, std::uint32_t type, Point position,
                              std::uint32_t button);
Event cgEventCreateKeyboardEvent(const EventSource& source, std::uint16_t keyCode, bool keyDown);
Event cgEventCreateScrollWheelEvent2(const EventSource& source, std::uint32_t units,
                                     std::uint32_t wheelCount, std::int32_t wheel1,
                                     std::int32_t wheel2, std::int32_t wheel3);
void cgEventKeyboardSetUnicodeString(const Event& event, std::u16string_view text);
void cgEventSetFlags(const Event& event, std::uint64_t flags);
void cgEventSetIntegerValueField(const Event& event, std::uint32_t field, std::int64_t value);
void cgEventSetLocation(const Event& event, Point location);
void cgEventPost(std::uint32_t tap, const Event& event);
void cgEventPostToPid(std::int32_t pid, const Event& event);

// ---------------------------------------------------------------------------
// Workspace and running applications.

inline constexpr std::int64_t NSApplicationActivationPolicyRegular = 0;
inline constexpr std::uint64_t NSApplicationActivateIgnoringOtherApps = 1u << 1;

std::vector<App> runningApplications();
App frontmostApplication();  // empty handle when there is none
App runningApplicationWithProcessIdentifier(std::int32_t pid);  // empty when none
std::optional<std::string> localizedName(const App& app);
std::optional<std::string> bundleIdentifier(const App& app);
std::int32_t processIdentifier(const App& app);
bool isActive(const App& app);
bool isHidden(const App& app);
std::int64_t activationPolicy(const App& app);
bool activateWithOptions(const App& app, std::uint64_t options);
bool isOperatingSystemAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch);

// Runs a program with an argument vector (never through a shell), the child's
// standard input, output and error on /dev/null (nothing it prints can reach
// the agent's answers), and waits for it to end.
struct TaskOutcome {
    bool started = false;
    std::string error;          // the platform's description when it did not start
    std::int32_t status = 0;    // the exit status when it did
};
TaskOutcome runTask(const std::string& executable, const std::vector<std::string>& arguments);

}  // namespace platform
