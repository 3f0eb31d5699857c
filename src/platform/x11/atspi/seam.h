// What the accessibility functions of the platform seam share: finding the
// session and the object an element stands for, and saying why a read found
// nothing. Internal to the Linux backend.
#pragma once

#include "platform/platform.h"
#include "platform/x11/atspi/element.h"
#include "platform/x11/atspi/session.h"

namespace platform::atspi {

// The session and the object `element` stands for. The error says why there
// is none: not an element (kAXErrorInvalidUIElement) or no accessibility bus
// (kAXErrorAPIDisabled).
AXError resolve(const Element& element, Session*& session, Ref& ref);

// Why a read found nothing: the application did not answer, or the element
// itself could not be read.
AXError lost(Session& s, const Ref& r);

// The node an action or a write works on, read `detailed` or basic. The
// error says why there is none: those of `resolve`, the system-wide element
// (which takes no actions or writes), or lost.
AXError targetNode(const Element& element, bool detailed, Session*& session, Ref& ref, Node*& node);

// A call whose reply is one boolean: whether it was answered "true".
bool answeredTrue(Session& s, Call call);

// Writes the element's value (text or number), succeeding only once the
// element shows the new value (writes.cpp).
AXError setValue(Session& s, const Ref& ref, const Node& n, const Value& value);

// Elements for a list of objects.
Value elementArray(const std::vector<Ref>& refs);

}  // namespace platform::atspi
