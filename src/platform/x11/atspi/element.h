// Element handles: an accessibility element is the agent's own counted object
// holding the owner's bus name and the object path. Nothing is fetched when
// one is made; reads go through the request's model.
#pragma once

#include "platform/platform.h"
#include "platform/x11/atspi/names.h"

namespace platform::atspi {

// A new element for `ref` (the handle owns its one reference).
Element makeElement(const Ref& ref);
// The object an element stands for; null for an empty handle.
const Ref* refOf(const Element& element);

}  // namespace platform::atspi
