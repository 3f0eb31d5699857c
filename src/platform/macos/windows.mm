// macOS backend: the window server's window list, rectangles, the main
// display and the screen-capture permission.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>

namespace platform {

Value cgWindowListCopyWindowInfo(std::uint32_t option, std::uint32_t relativeToWindow) {
    mac::CFOwner<CFArrayRef> list(CGWindowListCopyWindowInfo(option, relativeToWindow));
    if (!list) return Value();
    // The dictionaries' keys are the window server's own key strings
    // (kCGWindowNumber, kCGWindowBounds, ...), copied as they come.
    return mac::toValue(list.get());
}

bool cgRectMakeWithDictionaryRepresentation(const Value& dictionary, Rect& rect) {
    auto entries = dictionary.as<Dictionary>();
    if (!entries) return false;
    // Rebuilt as a CF dictionary so that the decoding is the platform's own.
    // A rectangle's representation holds numbers only; an entry of another
    // kind plays no part in the decoding and must not spoil the rebuild.
    Dictionary numbers;
    for (auto& [key, value] : *entries)
        if (value.as<std::int64_t>() || value.as<double>()) numbers.emplace_back(key, value);
    mac::CFOwner<CFTypeRef> representation = mac::toCF(Value(std::move(numbers)));
    if (!representation) return false;
    CGRect decoded{};
    if (!CGRectMakeWithDictionaryRepresentation(static_cast<CFDictionaryRef>(representation.get()), &decoded))
        return false;
    rect = Rect{{decoded.origin.x, decoded.origin.y}, {decoded.size.width, decoded.size.height}};
    return true;
}

bool cgRectContainsPoint(const Rect& rect, const Point& point) {
    return CGRectContainsPoint(CGRect{{rect.origin.x, rect.origin.y}, {rect.size.width, rect.size.height}},
                               CGPoint{point.x, point.y});
}

std::uint32_t cgMainDisplayID() { return CGMainDisplayID(); }

Rect cgDisplayBounds(std::uint32_t display) {
    CGRect bounds = CGDisplayBounds(display);
    return Rect{{bounds.origin.x, bounds.origin.y}, {bounds.size.width, bounds.size.height}};
}

bool cgPreflightScreenCaptureAccess() { return CGPreflightScreenCaptureAccess(); }

bool cgRequestScreenCaptureAccess() { return CGRequestScreenCaptureAccess(); }

}  // namespace platform
