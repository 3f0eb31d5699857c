// The accessibility session and the request scope.
#include "platform/x11/atspi/session.h"

#include "platform/platform.h"
#include "platform/x11/atspi/connection.h"

namespace platform::atspi {

namespace {

// Never destroyed: handles may still be released while the process exits.
Session** slot(bool connect) {
    static bool tried = false;
    static Session* session = nullptr;
    if (connect && !tried) {
        tried = true;
        if (DBusConnection* bus = openAccessibilityBus()) session = new Session(bus);
    }
    return &session;
}

}  // namespace

Session* Session::get() { return *slot(true); }
Session* Session::started() { return *slot(false); }

void Session::beginRequest() {
    sender_.beginRequest();
    model_.reset();
}

void Session::endRequest() { model_.reset(); }

}  // namespace platform::atspi

namespace platform {

// A request that begins before the first accessibility call does not connect.
void beginRequest() {
    if (auto* s = atspi::Session::started()) s->beginRequest();
}

void endRequest() {
    if (auto* s = atspi::Session::started()) s->endRequest();
}

}  // namespace platform
