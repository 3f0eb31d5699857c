// The accessibility session: the connection to the accessibility bus, the
// sender of calls and the request's model. Internal to the Linux backend;
// used on the main thread only.
#pragma once

#include "platform/x11/atspi/batch.h"
#include "platform/x11/atspi/model.h"

namespace platform::atspi {

class Session {
public:
    explicit Session(DBusConnection* bus) : sender_(bus), model_(sender_) {}  // adopts the connection

    // The session, connecting on first use; null when there is no accessibility
    // bus. A failed start is not retried.
    static Session* get();
    // The session when one was started, without connecting.
    static Session* started();

    Sender& sender() { return sender_; }
    Model& model() { return model_; }

    // The request's scope: the model lives from one to the other.
    void beginRequest();
    void endRequest();

private:
    Sender sender_;
    Model model_;
};

}  // namespace platform::atspi
