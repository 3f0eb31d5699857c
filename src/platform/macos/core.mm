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
#include <fcntl.h>
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

// posix_spawn's attributes and file actions, destroyed on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        error_ = posix_spawnattr_init(&attributes_);
        if (error_ != 0) return;
        attributesMade_ = true;
        error_ = posix_spawn_file_actions_init(&actions_);
        actionsMade_ = error_ == 0;
    }
    ~SpawnSetup() {
        if (actionsMade_) posix_spawn_file_actions_destroy(&actions_);
        if (attributesMade_) posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // Zero when both were made, else the error that stopped them.
    int error() const { return error_; }
    posix_spawnattr_t* attributes() { return &attributes_; }
    posix_spawn_file_actions_t* actions() { return &actions_; }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
    bool attributesMade_ = false;
    bool actionsMade_ = false;
    int error_ = 0;
};

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

    SpawnSetup setup;
    int error = setup.error();
    // The child's standard streams are /dev/null: the agent's standard output
    // carries its answers, and nothing the child prints may land among them.
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (error != 0) break;
        error = posix_spawn_file_actions_addopen(setup.actions(), fd, "/dev/null",
                                                 fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    if (error != 0) {
        outcome.error = std::strerror(error);
        return outcome;
    }
    // The agent ignores SIGPIPE, and an ignored signal stays ignored across
    // exec: give the child the default dispositions and an empty mask.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t empty;
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(setup.attributes(), &defaults);
    posix_spawnattr_setsigmask(setup.attributes(), &empty);
    posix_spawnattr_setflags(setup.attributes(), static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));

    pid_t child = 0;
    error = posix_spawn(&child, executable.c_str(), setup.actions(), setup.attributes(), argv.data(),
                        *_NSGetEnviron());
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
