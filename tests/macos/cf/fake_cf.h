// A small stand-in for CoreFoundation, the AXValue/AXUIElement types and the
// window-list calls, so the macOS backend's conversion code runs on Linux.
// It models the documented behaviour of the calls the backend makes and
// counts live objects, so a test can prove nothing leaked.
#pragma once

#include <ApplicationServices/ApplicationServices.h>

#include <string>

namespace fakecf {

// Objects alive now (the boolean constants are not counted).
long live();
// The reference count of an object.
long refs(CFTypeRef ref);

// A string from UTF-16 code units, lone surrogates allowed (+1). With
// `fastStorage` it also offers its text through CFStringGetCStringPtr, as a
// string stored in an 8-bit encoding does; that storage ends at a NUL.
CFStringRef utf16(const std::u16string& units, bool fastStorage = false);
// A number whose value lies beyond the signed 64-bit range (+1).
CFNumberRef hugeNumber(double value);
// A new accessibility element (+1).
AXUIElementRef element();
// The messaging timeout last set on that one element; negative when none was.
float timeout(AXUIElementRef element);

// What the next CGWindowListCopyWindowInfo returns (retained by the fake;
// null for a failed query), and the options it was last called with.
void setWindowList(CFArrayRef list);
CGWindowListOption lastWindowListOption();

}  // namespace fakecf
