// CoreGraphics: geometry, the window list, the displays, screen capture and
// its permission, images, color spaces, bitmap contexts and Quartz event
// services, as far as the macOS backend uses them.
#ifndef AGENT_DECLS_COREGRAPHICS_H
#define AGENT_DECLS_COREGRAPHICS_H

#include <stdbool.h>
#include <stddef.h>
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
typedef struct AGENT_CF_BRIDGED(id) CGImage* CGImageRef;
typedef struct AGENT_CF_BRIDGED(id) CGContext* CGContextRef;
typedef struct AGENT_CF_BRIDGED(id) CGColorSpace* CGColorSpaceRef;
typedef struct AGENT_CF_BRIDGED(id) CGDataProvider* CGDataProviderRef;
typedef struct AGENT_CF_BRIDGED(id) CGDisplayMode* CGDisplayModeRef;

AGENT_ENUM(int32_t, CGError){
    kCGErrorSuccess = 0,
    kCGErrorFailure = 1000,
    kCGErrorIllegalArgument = 1001,
    kCGErrorInvalidConnection = 1002,
    kCGErrorInvalidContext = 1003,
    kCGErrorCannotComplete = 1004,
    kCGErrorNotImplemented = 1006,
    kCGErrorRangeCheck = 1007,
    kCGErrorTypeCheck = 1008,
    kCGErrorInvalidOperation = 1010,
    kCGErrorNoneAvailable = 1011,
};

AGENT_OPTIONS(uint32_t, CGWindowImageOption){
    kCGWindowImageDefault = 0,
    kCGWindowImageBoundsIgnoreFraming = (1 << 0),
    kCGWindowImageShouldBeOpaque = (1 << 1),
    kCGWindowImageOnlyShadows = (1 << 2),
    kCGWindowImageBestResolution = (1 << 3),
    kCGWindowImageNominalResolution = (1 << 4),
};

AGENT_ENUM(uint32_t, CGImageAlphaInfo){
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

AGENT_OPTIONS(uint32_t, CGBitmapInfo){
    kCGBitmapAlphaInfoMask = 0x1F,
    kCGBitmapFloatInfoMask = 0xF00,
    kCGBitmapFloatComponents = (1 << 8),
    kCGBitmapByteOrderMask = 0x7000,
    kCGBitmapByteOrderDefault = (0 << 12),
    kCGBitmapByteOrder16Little = (1 << 12),
    kCGBitmapByteOrder32Little = (2 << 12),
    kCGBitmapByteOrder16Big = (3 << 12),
    kCGBitmapByteOrder32Big = (4 << 12),
};

AGENT_ENUM(int32_t, CGColorRenderingIntent){
    kCGRenderingIntentDefault = 0,
    kCGRenderingIntentAbsoluteColorimetric = 1,
    kCGRenderingIntentRelativeColorimetric = 2,
    kCGRenderingIntentPerceptual = 3,
    kCGRenderingIntentSaturation = 4,
};

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
CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID* _Nullable activeDisplays,
                               uint32_t* _Nullable displayCount);
CGDisplayModeRef _Nullable CGDisplayCopyDisplayMode(CGDirectDisplayID display) AGENT_AVAILABLE_MACOS(10.6);
size_t CGDisplayModeGetWidth(CGDisplayModeRef _Nullable mode) AGENT_AVAILABLE_MACOS(10.6);
size_t CGDisplayModeGetPixelWidth(CGDisplayModeRef _Nullable mode) AGENT_AVAILABLE_MACOS(10.8);
bool CGPreflightScreenCaptureAccess(void) AGENT_AVAILABLE_MACOS(10.15);
bool CGRequestScreenCaptureAccess(void) AGENT_AVAILABLE_MACOS(10.15);

CGImageRef _Nullable CGWindowListCreateImage(CGRect screenBounds, CGWindowListOption listOption,
                                             CGWindowID windowID, CGWindowImageOption imageOption)
    AGENT_DEPRECATED_MACOS(10.5, 14.0, "Please use ScreenCaptureKit instead.");

// Images, color spaces, data providers and bitmap contexts.
extern const CFStringRef kCGColorSpaceSRGB AGENT_AVAILABLE_MACOS(10.5);
CGColorSpaceRef _Nullable CGColorSpaceCreateWithName(CFStringRef _Nullable name) AGENT_AVAILABLE_MACOS(10.5);
CGDataProviderRef _Nullable CGDataProviderCreateWithCFData(CFDataRef _Nullable data) AGENT_AVAILABLE_MACOS(10.5);
CGImageRef _Nullable CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                                   size_t bytesPerRow, CGColorSpaceRef _Nullable space, CGBitmapInfo bitmapInfo,
                                   CGDataProviderRef _Nullable provider, const CGFloat* _Nullable decode,
                                   bool shouldInterpolate, CGColorRenderingIntent intent);
CGImageRef _Nullable CGImageRetain(CGImageRef _Nullable image);
size_t CGImageGetWidth(CGImageRef _Nullable image);
size_t CGImageGetHeight(CGImageRef _Nullable image);
CGContextRef _Nullable CGBitmapContextCreate(void* _Nullable data, size_t width, size_t height,
                                             size_t bitsPerComponent, size_t bytesPerRow,
                                             CGColorSpaceRef _Nullable space, uint32_t bitmapInfo);
void CGContextDrawImage(CGContextRef _Nullable c, CGRect rect, CGImageRef _Nullable image);

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
AGENT_PIN(CGGetActiveDisplayList, CGError(uint32_t, CGDirectDisplayID*, uint32_t*));
AGENT_PIN(CGDisplayCopyDisplayMode, CGDisplayModeRef(CGDirectDisplayID));
AGENT_PIN(CGDisplayModeGetWidth, size_t(CGDisplayModeRef));
AGENT_PIN(CGDisplayModeGetPixelWidth, size_t(CGDisplayModeRef));
AGENT_PIN(CGWindowListCreateImage, CGImageRef(CGRect, CGWindowListOption, CGWindowID, CGWindowImageOption));
AGENT_PIN(CGColorSpaceCreateWithName, CGColorSpaceRef(CFStringRef));
AGENT_PIN(CGDataProviderCreateWithCFData, CGDataProviderRef(CFDataRef));
AGENT_PIN(CGImageCreate, CGImageRef(size_t, size_t, size_t, size_t, size_t, CGColorSpaceRef, CGBitmapInfo,
                                    CGDataProviderRef, const CGFloat*, bool, CGColorRenderingIntent));
AGENT_PIN(CGImageRetain, CGImageRef(CGImageRef));
AGENT_PIN(CGImageGetWidth, size_t(CGImageRef));
AGENT_PIN(CGImageGetHeight, size_t(CGImageRef));
AGENT_PIN(CGBitmapContextCreate, CGContextRef(void*, size_t, size_t, size_t, size_t, CGColorSpaceRef, uint32_t));
AGENT_PIN(CGContextDrawImage, void(CGContextRef, CGRect, CGImageRef));
AGENT_PIN_VAR(kCGColorSpaceSRGB, const CFStringRef);
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
static_assert(std::is_same_v<CGEventFlags, uint64_t> && std::is_same_v<CGWindowListOption, uint32_t> &&
                  std::is_same_v<CGWindowImageOption, uint32_t> && std::is_same_v<CGBitmapInfo, uint32_t>,
              "option sets are plain integers");
static_assert(kCGWindowImageBestResolution == 8 && kCGBitmapByteOrder32Big == 0x4000,
              "window image and bitmap layout flags");
static_assert(!std::is_convertible_v<int, CGError> && !std::is_convertible_v<int, CGImageAlphaInfo> &&
                  !std::is_convertible_v<int, CGColorRenderingIntent>,
              "error, alpha and rendering intent enumerations are typed");
static_assert(!std::is_convertible_v<int, CGEventType> && !std::is_convertible_v<int, CGEventField> &&
                  !std::is_convertible_v<int, CGMouseButton> && !std::is_convertible_v<int, CGEventTapLocation>,
              "event enumerations are typed");
#endif

#endif
