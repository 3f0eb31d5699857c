// expect elements: not through platform::mac::adoptElement
// clean syntax
// clean analyze
// clean ownership
// An element wrapped straight from a copied reference: it never gets the
// messaging timeout, so a call to it may wait for the system's default.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>

namespace platform {

Element focusedElement(const Element& application) {
    mac::CFOwner<CFTypeRef> value;
    if (AXUIElementCopyAttributeValue(static_cast<AXUIElementRef>(application.get()), CFSTR("AXFocusedUIElement"),
                                      value.out()) != ::kAXErrorSuccess)
        return Element();
    if (!value || CFGetTypeID(value.get()) != AXUIElementGetTypeID()) return Element();
    return Element(mac::handleRef(value.release()));
}

}  // namespace platform
