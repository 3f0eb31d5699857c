// Element handles. Like the backend's other handles (events, applications,
// sources) they are x11::Counted objects, so base.cpp retains and releases
// every kind the same way.
#include "platform/x11/atspi/element.h"

#include "platform/x11/counted.h"

namespace platform::atspi {

namespace {

struct ElementObject final : x11::Counted {
    explicit ElementObject(Ref r) : ref(std::move(r)) {}
    const Ref ref;
};

}  // namespace

Element makeElement(const Ref& ref) {
    if (ref.null()) return {};
    return Element(static_cast<x11::Counted*>(new ElementObject(ref)));
}

const Ref* refOf(const Element& element) {
    auto* counted = static_cast<x11::Counted*>(element.get());
    return counted ? &static_cast<ElementObject*>(counted)->ref : nullptr;
}

}  // namespace platform::atspi
