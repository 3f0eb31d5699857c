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

// The applications that missed the messaging timeout in the current request,
// by process id; every platform call is made on the main thread.
// Made on first use: for a namespace-scope object with a destructor, ARC
// wraps the file's initializer in an autorelease pool, which the backend's
// tests on Linux have no runtime for.
std::vector<pid_t>& missedTimeout() {
    static std::vector<pid_t> pids;
    return pids;
}

// Makes one call to the application behind `element`, unless that
// application already missed the timeout in this request: then the call is
// answered as the miss was (kAXErrorCannotComplete) without waiting for it a
// second time. An element whose process cannot be told (the system-wide
// element) is always called.
template <class Call>
AXError askApplication(AXUIElementRef element, Call call) {
    std::vector<pid_t>& missed = missedTimeout();
    pid_t pid = 0;
    bool known = AXUIElementGetPid(element, &pid) == ::kAXErrorSuccess && pid > 0;
    if (known && std::find(missed.begin(), missed.end(), pid) != missed.end()) return kAXErrorCannotComplete;
    ::AXError error = call();
    if (known && error == ::kAXErrorCannotComplete) missed.push_back(pid);
    return result(error);
}

}  // namespace

void beginRequest() { missedTimeout().clear(); }
void endRequest() { missedTimeout().clear(); }

Element axCreateApplication(std::int32_t pid) {
    return mac::adoptElement(CFOwner<AXUIElementRef>(AXUIElementCreateApplication(static_cast<pid_t>(pid))));
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
