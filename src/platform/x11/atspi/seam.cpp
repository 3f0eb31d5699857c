// Helpers of the accessibility seam functions.
#include "platform/x11/atspi/seam.h"

namespace platform::atspi {

AXError resolve(const Element& element, Session*& session, Ref& ref) {
    const Ref* r = refOf(element);
    if (!r) return kAXErrorInvalidUIElement;
    session = Session::get();
    if (!session) return kAXErrorAPIDisabled;
    ref = *r;
    return kAXErrorSuccess;
}

AXError lost(Session& s, const Ref& r) {
    return s.sender().unresponsive(r.bus) ? kAXErrorCannotComplete : kAXErrorInvalidUIElement;
}

AXError targetNode(const Element& element, unsigned wanted, Session*& session, Ref& ref, Node*& node) {
    if (AXError err = resolve(element, session, ref)) return err;
    if (ref.systemWide()) return kAXErrorIllegalArgument;
    node = wanted ? session->model().details(ref, wanted) : session->model().basic(ref);
    return node ? kAXErrorSuccess : lost(*session, ref);
}

bool answeredTrue(Session& s, Call call) {
    bool answer = false;
    return s.sender().runOne(call) && Reader(call.reply()).get(answer) && answer;
}

Value elementArray(const std::vector<Ref>& refs) {
    Array out;
    out.reserve(refs.size());
    for (auto& r : refs)
        if (Element e = makeElement(r)) out.emplace_back(std::move(e));
    return Value(std::move(out));
}

}  // namespace platform::atspi
