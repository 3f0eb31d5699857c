// Opening applications on a Linux desktop. The portable layer asks for the
// workspace launcher's command line ("-g" for the background, "-b" and an
// identifier); here that identifier is a desktop-file id, and the desktop
// file it names is started by GLib's launcher (`gio launch FILE`), which
// reads Exec, D-Bus activation and the rest as every desktop does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::x11 {

inline constexpr const char* kOpenCommand = "/usr/bin/open";
inline constexpr const char* kGioLauncher = "/usr/bin/gio";
inline constexpr int kLauncherTimeoutMilliseconds = 10000;

struct LaunchRequest {
    std::string id;
    bool background = false;
};

// ["-g"] "-b" ID, nothing else, with an id that can name a desktop file
// (validDesktopId). None otherwise, so no other word ever reaches the
// launcher.
std::optional<LaunchRequest> parseOpenArguments(const std::vector<std::string>& arguments);

// A startup-notification id whose timestamp is 0: the window manager is told
// that the user did nothing in the new application yet, so a window manager
// that honours user times does not give its first window the focus.
std::string backgroundStartupId(int pid, unsigned serial);

// `environment` (NAME=value strings) without any DESKTOP_STARTUP_ID, plus
// DESKTOP_STARTUP_ID=startupId when that is not empty.
std::vector<std::string> launcherEnvironment(char** environment, const std::string& startupId);

// Runs argv[0] with argv and env, never through a shell: standard input,
// output and error on /dev/null (the agent's output is its protocol stream),
// an empty signal mask and default dispositions. Waits for the exit, at most
// timeoutMilliseconds, after which the child is killed and the outcome says
// it did not finish.
TaskOutcome runQuietly(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int timeoutMilliseconds);

// Opens the application of a desktop-file id found in `dirs` with
// `<launcher> launch <file>`. Not started when the launcher cannot be run;
// status 1 without running it when no desktop file has that id.
TaskOutcome launchApplication(const LaunchRequest& request, const std::string& launcher,
                              const std::vector<std::string>& dirs, int timeoutMilliseconds);

}  // namespace platform::x11
