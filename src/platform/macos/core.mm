// macOS backend: handle ownership, the main executor, the clock, the version
// test and running a program.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include <crt_externs.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool isOperatingSystemAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch) {
    NSOperatingSystemVersion version{static_cast<NSInteger>(major), static_cast<NSInteger>(minor),
                                     static_cast<NSInteger>(patch)};
    return [NSProcessInfo.processInfo isOperatingSystemAtLeastVersion:version];
}

TaskOutcome runTask(const std::string& executable, const std::vector<std::string>& arguments) {
    TaskOutcome outcome;
    // An argument vector entry ends at its first NUL: an argument holding one
    // would reach the program cut short, as a different argument. Refuse it.
    auto holdsNul = [](const std::string& s) { return s.find('\0') != std::string::npos; };
    bool refused = holdsNul(executable);
    for (auto& argument : arguments) refused = refused || holdsNul(argument);
    if (refused) {
        outcome.error = std::strerror(EINVAL);
        return outcome;
    }

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // The agent ignores SIGPIPE, and an ignored signal stays ignored across
    // exec: give the child the default dispositions and an empty mask.
    posix_spawnattr_t attributes;
    int error = posix_spawnattr_init(&attributes);
    if (error != 0) {
        outcome.error = std::strerror(error);
        return outcome;
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t empty;
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &empty);
    posix_spawnattr_setflags(&attributes, static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));

    pid_t child = 0;
    // The child inherits the agent's standard streams.
    error = posix_spawn(&child, executable.c_str(), nullptr, &attributes, argv.data(), *_NSGetEnviron());
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        outcome.error = std::strerror(error);
        return outcome;
    }
    outcome.started = true;

    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        outcome.status = -1;  // the child's end cannot be known: not a success
    } else if (WIFEXITED(status)) {
        outcome.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.status = WTERMSIG(status);  // ended by a signal: its number, never 0
    } else {
        outcome.status = -1;
    }
    return outcome;
}

}  // namespace platform
