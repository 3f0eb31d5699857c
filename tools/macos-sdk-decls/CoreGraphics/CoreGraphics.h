// CoreGraphics: geometry, the window list, the display, screen-capture
// permission and Quartz event services, as far as the macOS backend uses them.
#ifndef AGENT_DECLS_COREGRAPHICS_H
#define AGENT_DECLS_COREGRAPHICS_H

#include <stdbool.h>
#include <stdint.h>
#include <sys/types.h>
#include <CoreFoundation/CoreFoundation.h>

typedef double CGFloat;
struct CGPoint {
    CGFloat x;
    CGFloat y;
};
typedef struct CGPoint CGPoint;
struct CGSize {
    CGFloat width;
    CGFloat height;
};
typedef struct CGSize CGSize;
struct CGRect {
    CGPoint origin;
    CGSize size;
};
typedef struct CGRect CGRect;

typedef uint32_t CGDirectDisplayID;
typedef uint32_t CGWindowID;
#define kCGNullWindowID ((CGWindowID)0)
typedef uint16_t CGKeyCode;
typedef uint16_t CGCharCode;

typedef struct AGENT_CF_BRIDGED(id) __CGEvent* CGEventRef;
typedef struct AGENT_CF_BRIDGED(id) __CGEventSource* CGEventSourceRef;

AGENT_OPTIONS(uint32_t, CGWindowListOption){
    kCGWindowListOptionAll = 0,
    kCGWindowListOptionOnScreenOnly = (1 << 0),
    kCGWindowListOptionOnScreenAboveWindow = (1 << 1),
    kCGWindowListOptionOnScreenBelowWindow = (1 << 2),
    kCGWindowListOptionIncludingWindow = (1 << 3),
    kCGWindowListExcludeDesktopElements = (1 << 4),
};

AGENT_ENUM(uint32_t, CGMouseButton){
    kCGMouseButtonLeft = 0,
    kCGMouseButtonRight = 1,
    kCGMouseButtonCenter = 2,
};

AGENT_ENUM(uint32_t, CGScrollEventUnit){
    kCGScrollEventUnitPixel = 0,
    kCGScrollEventUnitLine = 1,
};

AGENT_OPTIONS(uint64_t, CGEventFlags){
    kCGEventFlagMaskAlphaShift = 0x10000,   kCGEventFlagMaskShift = 0x20000,
    kCGEventFlagMaskControl = 0x40000,      kCGEventFlagMaskAlternate = 0x80000,
    kCGEventFlagMaskCommand = 0x100000,     kCGEventFlagMaskNumericPad = 0x200000,
    kCGEventFlagMaskSecondaryFn = 0x800000,
};

AGENT_ENUM(uint32_t, CGEventType){
    kCGEventNull = 0,
    kCGEventLeftMouseDown = 1,
    kCGEventLeftMouseUp = 2,
    kCGEventRightMouseDown = 3,
    kCGEventRightMouseUp = 4,
    kCGEventMouseMoved = 5,
    kCGEventLeftMouseDragged = 6,
    kCGEventRightMouseDragged = 7,
    kCGEventKeyDown = 10,
    kCGEventKeyUp = 11,
    kCGEventFlagsChanged = 12,
    kCGEventScrollWheel = 22,
};

AGENT_ENUM(uint32_t, CGEventField){
    kCGMouseEventNumber = 0,
    kCGMouseEventClickState = 1,
    kCGMouseEventButtonNumber = 3,
    kCGKeyboardEventKeycode = 9,
};

AGENT_ENUM(uint32_t, CGEventTapLocation){
    kCGHIDEventTap = 0,
    kCGSessionEventTap = 1,
    kCGAnnotatedSessionEventTap = 2,
};

AGENT_ENUM(int32_t, CGEventSourceStateID){
    kCGEventSourceStatePrivate = -1,
    kCGEventSourceStateCombinedSessionState = 0,
    kCGEventSourceStateHIDSystemState = 1,
};

AGENT_EXTERN_C_BEGIN
AGENT_IMPLICIT_BRIDGING_BEGIN
AGENT_NONNULL_BEGIN

// Window-information dictionary keys.
extern const CFStringRef kCGWindowNumber;
extern const CFStringRef kCGWindowLayer;
extern const CFStringRef kCGWindowBounds;
extern const CFStringRef kCGWindowAlpha;
extern const CFStringRef kCGWindowOwnerPID;
extern const CFStringRef kCGWindowOwnerName;
extern const CFStringRef kCGWindowName;

CFArrayRef _Nullable CGWindowListCopyWindowInfo(CGWindowListOption option, CGWindowID relativeToWindow);
bool CGRectMakeWithDictionaryRepresentation(CFDictionaryRef _Nullable dict, CGRect* _Nullable rect);
bool CGRectContainsPoint(CGRect rect, CGPoint point);
CGDirectDisplayID CGMainDisplayID(void);
CGRect CGDisplayBounds(CGDirectDisplayID display);
bool CGPreflightScreenCaptureAccess(void) AGENT_AVAILABLE_MACOS(10.15);
bool CGRequestScreenCaptureAccess(void) AGENT_AVAILABLE_MACOS(10.15);

CGEventSourceRef _Nullable CGEventSourceCreate(CGEventSourceStateID stateID);
CGEventRef _Nullable CGEventCreateMouseEvent(CGEventSourceRef _Nullable source, CGEventType mouseType,
                                             CGPoint mouseCursorPosition, CGMouseButton mouseButton);
CGEventRef _Nullable CGEventCreateKeyboardEvent(CGEventSourceRef _Nullable source, CGKeyCode virtualKey,
                                                bool keyDown);
CGEventRef _Nullable CGEventCreateScrollWheelEvent2(CGEventSourceRef _Nullable source, CGScrollEventUnit units,
                                                    uint32_t wheelCount, int32_t wheel1, int32_t wheel2,
                                                    int32_t wheel3) AGENT_AVAILABLE_MACOS(10.13);
void CGEventKeyboardSetUnicodeString(CGEventRef _Nullable event, UniCharCount stringLength,
                                     const UniChar* _Nullable unicodeString);
void CGEventSetFlags(CGEventRef _Nullable event, CGEventFlags flags);
void CGEventSetIntegerValueField(CGEventRef _Nullable event, CGEventField field, int64_t value);
void CGEventSetLocation(CGEventRef _Nullable event, CGPoint location);
void CGEventPost(CGEventTapLocation tap, CGEventRef _Nullable event);
void CGEventPostToPid(pid_t pid, CGEventRef _Nullable event) AGENT_AVAILABLE_MACOS(10.11);

AGENT_NONNULL_END
AGENT_IMPLICIT_BRIDGING_END
AGENT_EXTERN_C_END

AGENT_PIN(CGWindowListCopyWindowInfo, CFArrayRef(CGWindowListOption, CGWindowID));
AGENT_PIN(CGRectMakeWithDictionaryRepresentation, bool(CFDictionaryRef, CGRect*));
AGENT_PIN(CGRectContainsPoint, bool(CGRect, CGPoint));
AGENT_PIN(CGMainDisplayID, CGDirectDisplayID());
AGENT_PIN(CGDisplayBounds, CGRect(CGDirectDisplayID));
AGENT_PIN(CGPreflightScreenCaptureAccess, bool());
AGENT_PIN(CGRequestScreenCaptureAccess, bool());
AGENT_PIN(CGEventSourceCreate, CGEventSourceRef(CGEventSourceStateID));
AGENT_PIN(CGEventCreateMouseEvent, CGEventRef(CGEventSourceRef, CGEventType, CGPoint, CGMouseButton));
AGENT_PIN(CGEventCreateKeyboardEvent, CGEventRef(CGEventSourceRef, CGKeyCode, bool));
AGENT_PIN(CGEventCreateScrollWheelEvent2,
          CGEventRef(CGEventSourceRef, CGScrollEventUnit, uint32_t, int32_t, int32_t, int32_t));
AGENT_PIN(CGEventKeyboardSetUnicodeString, void(CGEventRef, UniCharCount, const UniChar*));
AGENT_PIN(CGEventSetFlags, void(CGEventRef, CGEventFlags));
AGENT_PIN(CGEventSetIntegerValueField, void(CGEventRef, CGEventField, int64_t));
AGENT_PIN(CGEventSetLocation, void(CGEventRef, CGPoint));
AGENT_PIN(CGEventPost, void(CGEventTapLocation, CGEventRef));
AGENT_PIN(CGEventPostToPid, void(pid_t, CGEventRef));
AGENT_PIN_VAR(kCGWindowNumber, const CFStringRef);
AGENT_PIN_VAR(kCGWindowLayer, const CFStringRef);
AGENT_PIN_VAR(kCGWindowBounds, const CFStringRef);
AGENT_PIN_VAR(kCGWindowAlpha, const CFStringRef);
AGENT_PIN_VAR(kCGWindowOwnerPID, const CFStringRef);
AGENT_PIN_VAR(kCGWindowOwnerName, const CFStringRef);
AGENT_PIN_VAR(kCGWindowName, const CFStringRef);
#if defined(__cplusplus)
static_assert(sizeof(CGFloat) == 8 && sizeof(CGPoint) == 16 && sizeof(CGRect) == 32, "64-bit geometry");
static_assert(kCGWindowListOptionOnScreenOnly + kCGWindowListExcludeDesktopElements == 17,
              "on-screen only, desktop elements excluded");
static_assert(std::is_same_v<CGEventFlags, uint64_t> && std::is_same_v<CGWindowListOption, uint32_t>,
              "option sets are plain integers");
static_assert(!std::is_convertible_v<int, CGEventType> && !std::is_convertible_v<int, CGEventField> &&
                  !std::is_convertible_v<int, CGMouseButton> && !std::is_convertible_v<int, CGEventTapLocation>,
              "event enumerations are typed");
#endif

#endif
