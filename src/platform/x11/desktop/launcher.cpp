#include "platform/x11/desktop/launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/x11/desktop/desktop_entries.h"

extern char** environ;

namespace platform::x11 {
namespace {

constexpr std::string_view kStartupVariable = "DESKTOP_STARTUP_ID=";

// posix_spawn's attributes and file actions, destroyed on every path.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::optional<LaunchRequest> parseOpenArguments(const std::vector<std::string>& arguments) {
    LaunchRequest request;
    std::size_t i = 0;
    if (i < arguments.size() && arguments[i] == "-g") {
        request.background = true;
        ++i;
    }
    if (arguments.size() != i + 2 || arguments[i] != "-b" || !validDesktopId(arguments[i + 1]))
        return std::nullopt;
    request.id = arguments[i + 1];
    return request;
}

std::string backgroundStartupId(int pid, unsigned serial) {
    return "agent-" + std::to_string(pid) + "-" + std::to_string(serial) + "_TIME0";
}

std::vector<std::string> launcherEnvironment(char** environment, const std::string& startupId) {
    std::vector<std::string> env;
    for (char** e = environment; e && *e; ++e)
        if (!std::string_view(*e).starts_with(kStartupVariable)) env.emplace_back(*e);
    if (!startupId.empty()) env.push_back(std::string(kStartupVariable) + startupId);
    return env;
}

TaskOutcome runQuietly(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int timeoutMilliseconds) {
    if (argv.empty()) return {false, "Nothing to run", 0};
    SpawnSetup setup;
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY,
                                         0);
    // The agent ignores SIGPIPE and its threads may block signals; neither
    // is for the launcher or the application it starts.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> args = argv, vars = env;
    std::vector<char*> argp = pointers(args), envp = pointers(vars);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, args[0].c_str(), &setup.actions, &setup.attr, argp.data(), envp.data());
    if (rc != 0) return {false, argv[0] + ": " + std::strerror(rc), 0};

    int status = 0;
    for (int waited = 0;; waited += 5) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return {false, argv[0] + ": " + std::strerror(errno), 0};
        if (waited >= timeoutMilliseconds) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return {false, argv[0] + " did not finish", 0};
        }
        ::usleep(5000);
    }
    if (WIFEXITED(status)) return {true, "", WEXITSTATUS(status)};
    // Killed by a signal: a failure, told apart from exit statuses the way shells do.
    return {true, "", 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0)};
}

TaskOutcome launchApplication(const LaunchRequest& request, const std::string& launcher,
                              const std::vector<std::string>& dirs, int timeoutMilliseconds) {
    if (::access(launcher.c_str(), X_OK) != 0) return {false, launcher + ": " + std::strerror(errno), 0};
    std::optional<DesktopEntry> entry = findApplication(dirs, request.id);
    if (!entry) return {true, "", 1};
    static unsigned serial = 0;
    std::string startupId = request.background ? backgroundStartupId(static_cast<int>(::getpid()), ++serial) : "";
    return runQuietly({launcher, "launch", entry->path}, launcherEnvironment(environ, startupId),
                      timeoutMilliseconds);
}

}  // namespace platform::x11
