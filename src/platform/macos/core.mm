// macOS backend: handle ownership, the main executor, the clock and the
// version test.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace platform {

// Every handle kind holds a CF reference: elements, events and event sources
// are CF objects, and an application handle holds its NSRunningApplication
// handed over to CF with CFBridgingRetain.
void retainRef(HandleKind, void* ref) noexcept {
    if (ref) CFRetain(ref);
}

void releaseRef(HandleKind, void* ref) noexcept {
    if (ref) CFRelease(ref);
}

namespace {

void runSubmitted(void* context) {
    std::unique_ptr<std::function<void()>> task(static_cast<std::function<void()>*>(context));
    // Workspace and application objects come back autoreleased; the run loop
    // of a process without an application object drains no pool for us.
    @autoreleasepool {
        try {
            (*task)();
        } catch (...) {
            // A task must not unwind into the dispatch queue: that would end the process.
        }
    }
}

}  // namespace

void submit(std::function<void()> task) {
    auto boxed = std::make_unique<std::function<void()>>(std::move(task));
    dispatch_async_f(dispatch_get_main_queue(), boxed.release(), runSubmitted);
}

void serveMainExecutor() {
    // The main run loop serves the main dispatch queue and delivers the
    // workspace notifications that keep the running-application list fresh.
    CFRunLoopRun();
    // The loop returns only when nothing is left to serve.
    std::exit(0);
}

void sleepMicroseconds(std::uint32_t microseconds) {
    timespec remaining{static_cast<time_t>(microseconds / 1000000u),
                       static_cast<long>(microseconds % 1000000u) * 1000L};
    // A signal does not cut a pause short: sleep on for what is left.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

std::uint64_t monotonicMicroseconds() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

bool isOperatingSystemAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch) {
    NSOperatingSystemVersion version{static_cast<NSInteger>(major), static_cast<NSInteger>(minor),
                                     static_cast<NSInteger>(patch)};
    return [NSProcessInfo.processInfo isOperatingSystemAtLeastVersion:version];
}

}  // namespace platform
