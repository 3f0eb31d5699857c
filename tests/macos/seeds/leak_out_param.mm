// expect ownership: out-parameter of AXUIElementCopyAttributeValue is '&value'
// clean syntax
// A +1 value handed back through an out-parameter and never released: the
// analyzer does not see this one, the ownership pass does.
#include <ApplicationServices/ApplicationServices.h>

bool hasRole(AXUIElementRef element) {
    CFTypeRef value = nullptr;
    return AXUIElementCopyAttributeValue(element, CFSTR("AXRole"), &value) == kAXErrorSuccess && value;
}
