// Linux backend, accessibility half: no accessibility bus yet. Every read
// fails, so every operation sees an empty desktop.
#include "platform/platform.h"

namespace platform {

Element axCreateApplication(std::int32_t) { return {}; }
Element axCreateSystemWide() { return {}; }
AXError axSetMessagingTimeout(const Element&, float) { return kAXErrorInvalidUIElement; }
AXError axCopyAttributeValue(const Element&, const std::string&, Value&) { return kAXErrorInvalidUIElement; }
AXError axCopyActionNames(const Element&, Value&) { return kAXErrorInvalidUIElement; }
AXError axCopyElementAtPosition(const Element&, float, float, Element&) { return kAXErrorInvalidUIElement; }
AXError axPerformAction(const Element&, const std::string&) { return kAXErrorInvalidUIElement; }
AXError axSetAttributeValue(const Element&, const std::string&, const Value&) { return kAXErrorInvalidUIElement; }
bool axIsProcessTrusted() { return false; }
bool axIsProcessTrustedWithPrompt() { return false; }
bool isSecureEventInputEnabled() { return false; }

}  // namespace platform
