// Linux backend: handle ownership and the clock.
#include <unistd.h>

#include <glib-object.h>

#include "platform/platform.h"

namespace platform {

// Elements are AT-SPI proxies (GObjects); the other kinds are not made on
// this desktop yet.
void retainRef(HandleKind kind, void* ref) noexcept {
    if (kind == HandleKind::element && ref) g_object_ref(ref);
}

void releaseRef(HandleKind kind, void* ref) noexcept {
    if (kind == HandleKind::element && ref) g_object_unref(ref);
}

void sleepMicroseconds(std::uint32_t microseconds) { ::usleep(microseconds); }

}  // namespace platform
