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

// The node an action or a write works on, with its basics and the `wanted`
// details. The error says why there is none: those of `resolve`, the
// system-wide element (which takes no actions or writes), or lost.
AXError targetNode(const Element& element, unsigned wanted, Session*& session, Ref& ref, Node*& node);

// A call whose reply is one boolean: whether it was answered "true".
bool answeredTrue(Session& s, Call call);

// Writes the element's value (text or number), succeeding only once the
// element shows the new value (writes.cpp).
AXError setValue(Session& s, const Ref& ref, const Node& n, const Value& value);

// Gives the element the keyboard focus: GrabFocus (true once the toolkit
// took it), or where the toolkit refuses it, for a text field a click (true
// once the element says it is focused) (writes.cpp).
bool focus(Session& s, const Ref& ref);
// Whether "AXPress" is done by a click: a check box, radio or toggle button
// whose toolkit offers no action for it (GTK 4.8).
bool pressedByClick(const Node& n);
// Presses a check box, radio or toggle button that offers no action, by a
// click at its centre; true once its checked state changed.
bool pressByClick(Session& s, const Ref& ref);

// Elements for a list of objects.
Value elementArray(const std::vector<Ref>& refs);

}  // namespace platform::atspi
