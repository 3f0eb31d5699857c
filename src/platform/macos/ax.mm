// macOS backend: the accessibility client interface, process trust and the
// secure keyboard input state.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>
#include <Carbon/Carbon.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace platform {
namespace {

using mac::CFOwner;

AXUIElementRef elementRef(const Element& element) { return static_cast<AXUIElementRef>(element.get()); }

AXError result(::AXError error) { return static_cast<AXError>(error); }

// What the backend remembers for the length of one request, by process id;
// every platform call is made on the main thread. Made on first use: for a
// namespace-scope object with a destructor, ARC wraps the file's initializer
// in an autorelease pool, which the backend's tests on Linux have no runtime
// for.
struct RequestState {
    std::vector<pid_t> missedTimeout;     // the applications that missed the messaging timeout
    std::vector<pid_t> askedForContent;   // the applications asked for their web content
};

RequestState& request() {
    static RequestState state;
    return state;
}

bool holds(const std::vector<pid_t>& pids, pid_t pid) { return std::find(pids.begin(), pids.end(), pid) != pids.end(); }

// The process of an element; 0 when it cannot be told (the system-wide element).
pid_t processOf(AXUIElementRef element) {
    pid_t pid = 0;
    if (AXUIElementGetPid(element, &pid) != ::kAXErrorSuccess || pid <= 0) return 0;
    return pid;
}

// Makes one call to the application behind `element`, unless that
// application already missed the timeout in this request: then the call is
// answered as the miss was (kAXErrorCannotComplete) without waiting for it a
// second time. An element whose process cannot be told (the system-wide
// element) is always called.
template <class Call>
AXError askApplication(AXUIElementRef element, Call call) {
    std::vector<pid_t>& missed = request().missedTimeout;
    pid_t pid = processOf(element);
    if (pid != 0 && holds(missed, pid)) return kAXErrorCannotComplete;
    ::AXError error = call();
    if (pid != 0 && error == ::kAXErrorCannotComplete) missed.push_back(pid);
    return result(error);
}

// Chromium and Electron applications expose the accessibility tree of their
// web content only to a client that sets "AXManualAccessibility" to true on
// the application element; until then their windows hold an empty web area.
// Asked once per application and request, on the application element (which
// already has the messaging timeout), through askApplication: an application
// that missed the timeout in this request is not asked, and one that misses
// it here is not waited for again by the request's later calls. Whatever it
// answers is dropped: most applications do not know the attribute
// (kAXErrorAttributeUnsupported), and that changes nothing.
void askForWebContent(const Element& application) {
    AXUIElementRef element = elementRef(application);
    pid_t pid = processOf(element);
    std::vector<pid_t>& asked = request().askedForContent;
    if (pid == 0 || holds(asked, pid)) return;
    asked.push_back(pid);
    CFOwner<CFStringRef> name = mac::makeString("AXManualAccessibility");
    if (!name) return;
    askApplication(element, [&] { return AXUIElementSetAttributeValue(element, name.get(), kCFBooleanTrue); });
}

void forgetRequest() {
    request().missedTimeout.clear();
    request().askedForContent.clear();
}

}  // namespace

void beginRequest() { forgetRequest(); }
void endRequest() { forgetRequest(); }

// Every operation that reads an application's elements (its tree, a path in
// it, its focused element, the element at a point) starts from this element,
// so the application is asked for its web content before the first read.
Element axCreateApplication(std::int32_t pid) {
    Element application =
        mac::adoptElement(CFOwner<AXUIElementRef>(AXUIElementCreateApplication(static_cast<pid_t>(pid))));
    if (application) askForWebContent(application);
    return application;
}

Element axCreateSystemWide() {
    // The timeout set on the system-wide element is also the process's default.
    return mac::adoptElement(CFOwner<AXUIElementRef>(AXUIElementCreateSystemWide()));
}

AXError axSetMessagingTimeout(const Element& element, float seconds) {
    if (!element) return kAXErrorIllegalArgument;
    return result(AXUIElementSetMessagingTimeout(elementRef(element), seconds));
}

AXError axCopyAttributeValue(const Element& element, const std::string& attribute, Value& value) {
    if (!element) return kAXErrorIllegalArgument;
    CFOwner<CFStringRef> name = mac::makeString(attribute);
    if (!name) return kAXErrorIllegalArgument;
    CFOwner<CFTypeRef> copied;
    AXError error = askApplication(elementRef(element), [&] {
        return AXUIElementCopyAttributeValue(elementRef(element), name.get(), copied.out());
    });
    if (error != kAXErrorSuccess) return error;
    value = mac::toValue(copied.get());
    return kAXErrorSuccess;
}

AXError axCopyActionNames(const Element& element, Value& names) {
    if (!element) return kAXErrorIllegalArgument;
    CFOwner<CFArrayRef> copied;
    AXError error = askApplication(elementRef(element),
                                   [&] { return AXUIElementCopyActionNames(elementRef(element), copied.out()); });
    if (error != kAXErrorSuccess) return error;
    names = mac::toValue(copied.get());
    return kAXErrorSuccess;
}

AXError axCopyElementAtPosition(const Element& application, float x, float y, Element& element) {
    if (!application) return kAXErrorIllegalArgument;
    CFOwner<AXUIElementRef> copied;
    AXError error = askApplication(elementRef(application), [&] {
        return AXUIElementCopyElementAtPosition(elementRef(application), x, y, copied.out());
    });
    if (error != kAXErrorSuccess) return error;
    if (!copied) return kAXErrorNoValue;
    element = mac::adoptElement(std::move(copied));
    return kAXErrorSuccess;
}

AXError axPerformAction(const Element& element, const std::string& action) {
    if (!element) return kAXErrorIllegalArgument;
    CFOwner<CFStringRef> name = mac::makeString(action);
    if (!name) return kAXErrorIllegalArgument;
    return askApplication(elementRef(element),
                          [&] { return AXUIElementPerformAction(elementRef(element), name.get()); });
}

AXError axSetAttributeValue(const Element& element, const std::string& attribute, const Value& value) {
    if (!element) return kAXErrorIllegalArgument;
    CFOwner<CFStringRef> name = mac::makeString(attribute);
    CFOwner<CFTypeRef> converted = mac::toCF(value);
    // A value with no platform form is never sent.
    if (!name || !converted) return kAXErrorIllegalArgument;
    return askApplication(elementRef(element), [&] {
        return AXUIElementSetAttributeValue(elementRef(element), name.get(), converted.get());
    });
}

bool axIsProcessTrusted() { return AXIsProcessTrusted() != 0; }

bool axIsProcessTrustedWithPrompt() {
    const void* keys[] = {kAXTrustedCheckOptionPrompt};
    const void* values[] = {kCFBooleanTrue};
    CFOwner<CFDictionaryRef> options(CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1,
                                                        &kCFTypeDictionaryKeyCallBacks,
                                                        &kCFTypeDictionaryValueCallBacks));
    return AXIsProcessTrustedWithOptions(options.get()) != 0;
}

bool isSecureEventInputEnabled() { return IsSecureEventInputEnabled() != 0; }

}  // namespace platform
