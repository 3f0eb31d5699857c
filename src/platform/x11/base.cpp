// Linux backend: handle ownership and the clock.
#include <unistd.h>

#include <chrono>

#include "platform/platform.h"
#include "platform/x11/counted.h"

namespace platform {

// Every handle is an x11::Counted: accessibility elements (atspi/element.cpp)
// as much as events, applications and sources.
void retainRef(HandleKind, void* ref) noexcept {
    if (ref) static_cast<x11::Counted*>(ref)->retain();
}

void releaseRef(HandleKind, void* ref) noexcept {
    if (ref) static_cast<x11::Counted*>(ref)->release();
}

void sleepMicroseconds(std::uint32_t microseconds) { ::usleep(microseconds); }

std::uint64_t monotonicMicroseconds() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

}  // namespace platform
