// Linux backend: handle ownership and the clock.
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

void retainRef(HandleKind, void*) noexcept {}
void releaseRef(HandleKind, void*) noexcept {}

void sleepMicroseconds(std::uint32_t microseconds) { ::usleep(microseconds); }

}  // namespace platform
