// Linux backend: handle ownership and the clock.
#include <unistd.h>

#include <glib-object.h>

#include "platform/platform.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {

// Elements are AT-SPI proxies (GObjects); events, applications and sources
// are the backend's own counted objects.
void retainRef(HandleKind kind, void* ref) noexcept {
    if (!ref) return;
    if (kind == HandleKind::element)
        g_object_ref(ref);
    else
        static_cast<x11::Counted*>(ref)->retain();
}

void releaseRef(HandleKind kind, void* ref) noexcept {
    if (!ref) return;
    if (kind == HandleKind::element)
        g_object_unref(ref);
    else
        static_cast<x11::Counted*>(ref)->release();
}

void sleepMicroseconds(std::uint32_t microseconds) { ::usleep(microseconds); }

// Creating a root element still starts the accessibility request's model.
void beginRequest() {}
void endRequest() {}

}  // namespace platform
