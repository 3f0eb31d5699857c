// Fake accessibility: nothing scripted yet. Every read
// fails, so every operation sees an empty desktop.
#include "fake.h"

namespace platform {

Element axCreateApplication(std::int32_t) { return {}; }
Element axCreateSystemWide() { return {}; }
AXError axSetMessagingTimeout(const Element&, float) { return kAXErrorInvalidUIElement; }
AXError axCopyAttributeValue(const Element&, const std::string&, Value&) { return kAXErrorInvalidUIElement; }
AXError axCopyActionNames(const Element&, Value&) { return kAXErrorInvalidUIElement; }
AXError axCopyElementAtPosition(const Element&, float, float, Element&) { return kAXErrorInvalidUIElement; }
AXError axPerformAction(const Element&, const std::string&) { return kAXErrorInvalidUIElement; }
AXError axSetAttributeValue(const Element&, const std::string&, const Value&) { return kAXErrorInvalidUIElement; }
// axIsProcessTrusted and axIsProcessTrustedWithPrompt: with the other
// permissions in fake_apps.cpp.

}  // namespace platform
