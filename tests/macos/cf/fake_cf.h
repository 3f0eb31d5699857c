// A small stand-in for CoreFoundation, the AXValue type, the accessibility
// client calls, the window-list calls and the C runtime's environment
// accessor, so the macOS backend's conversion, window-list, accessibility and
// launcher code runs on Linux. It models the documented behaviour of the
// calls the backend makes and counts live objects, so a test can prove
// nothing leaked.
#pragma once

#include <ApplicationServices/ApplicationServices.h>

#include <string>
#include <vector>

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
// Accessibility: elements belong to a process and answer what is scripted on
// them. Every element AXUIElementCreateApplication(pid) makes answers what is
// scripted on application(pid); the system-wide element, what is scripted on
// systemWide(). An attribute that was not scripted is unsupported, no actions
// is an empty list, no element at a position is kAXErrorNoValue; setting an
// attribute scripts it.

// The key of the system-wide element in hang() and calls(): it has no process.
inline constexpr pid_t kSystemWide = 0;

// A new accessibility element of the process `pid` (+1).
AXUIElementRef element(pid_t pid = 1);
// The messaging timeout last set on that one element; negative when none was.
float timeout(AXUIElementRef element);
// The timeout set on a system-wide element, which is the process's default;
// negative when none was.
float processDefaultTimeout();

// The scripts (owned by the fake until resetAccessibility).
AXUIElementRef application(pid_t pid);
AXUIElementRef systemWide();
// Scripts an attribute (the value is retained), the action names, the element
// at every position.
void setAttribute(AXUIElementRef element, const char* name, CFTypeRef value);
void setActions(AXUIElementRef element, CFArrayRef names);
void setHit(AXUIElementRef element, AXUIElementRef hit);

// From now on setting the attribute `name` on any element of `pid` answers
// `error` and changes nothing, as it does in an application that does not
// know the attribute or refuses the value.
void refuseSet(pid_t pid, const char* name, AXError error);

// One call that reached an element, in the order made.
struct Call {
    pid_t pid;              // kSystemWide for the system-wide element
    std::string kind;       // "copy", "set", "actions", "hit" or "perform"
    std::string name;       // the attribute of "copy" and "set", the action of "perform"
    bool root;              // made by AXUIElementCreateApplication or AXUIElementCreateSystemWide
    float timeout;          // the element's own messaging timeout then; negative when none
    std::string value;      // of "set": "true", "false" (the boolean constants) or "other"
    AXError answer;
};
// Every call that reached an element since resetAccessibility, answered or not.
const std::vector<Call>& callLog();

// From now on every call to the elements of `pid` (copy attribute, copy
// action names, element at position, perform action, set attribute) answers
// kAXErrorCannotComplete, as a messaging timeout does; or answers again.
void hang(pid_t pid, bool hung = true);
// The calls that reached the elements of `pid`, answered or not.
long calls(pid_t pid);
// Drops the scripts, refusals, hangs, counts and the call log.
void resetAccessibility();

// What the next CGWindowListCopyWindowInfo returns (retained by the fake;
// null for a failed query), and the options it was last called with.
void setWindowList(CFArrayRef list);
CGWindowListOption lastWindowListOption();

}  // namespace fakecf
