// expect elements: outside a call of platform::mac::adoptElement
// clean syntax
// clean analyze
// clean ownership
// An application element asked for its web content before it becomes an
// Element: that call waits for the system's default timeout, not the
// backend's, on a stuck application.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>

#include <utility>

namespace platform {

Element axCreateApplication(std::int32_t pid) {
    mac::CFOwner<AXUIElementRef> application(AXUIElementCreateApplication(static_cast<pid_t>(pid)));
    AXUIElementSetAttributeValue(application.get(), CFSTR("AXManualAccessibility"), kCFBooleanTrue);
    return mac::adoptElement(std::move(application));
}

}  // namespace platform
