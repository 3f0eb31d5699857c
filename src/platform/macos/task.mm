// macOS backend: running a program (the launcher) and waiting for its end.
// Plain POSIX and the C runtime's environment accessor, nothing else: the
// backend's tests run it on Linux as it is.

#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <crt_externs.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

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
