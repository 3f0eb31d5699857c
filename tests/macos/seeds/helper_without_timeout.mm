// expect elements: does not call AXUIElementSetMessagingTimeout
// clean syntax
// clean analyze
// The one helper that makes elements, without the timeout it exists for.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>

namespace platform::mac {

Element adoptElement(CFOwner<AXUIElementRef> element) noexcept {
    if (!element) return Element();
    return Element(handleRef(element.release()));
}

}  // namespace platform::mac
