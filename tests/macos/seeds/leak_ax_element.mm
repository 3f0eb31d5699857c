// expect analyze: Potential leak of an object stored into 'app'
// clean syntax
// AXUIElementRef has no CF prefix: only the implicit-bridging region of the
// declarations makes its Create result +1 to the analyzer.
#include <ApplicationServices/ApplicationServices.h>

bool answers(pid_t pid) {
    AXUIElementRef app = AXUIElementCreateApplication(pid);
    return AXUIElementSetMessagingTimeout(app, 2.0f) == kAXErrorSuccess;
}
