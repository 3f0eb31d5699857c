// Linux backend: running applications, activation and launching.
//
// An application is a process that owns managed windows (_NET_CLIENT_LIST,
// by _NET_WM_PID). Its handle holds a snapshot taken when the handle was
// made: reading it later asks nothing of the X server.
#include <X11/Xlib.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/x11/desktop/app_identity.h"
#include "platform/x11/desktop/desktop_entries.h"
#include "platform/x11/desktop/launcher.h"
#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/counted.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {
namespace {

struct AppSnapshot : x11::Counted {
    std::int32_t pid = 0;
    std::string name;
    std::string identifier;
    bool active = false;
    bool hidden = false;
    std::vector<x11::ManagedWindow> windows;  // front to back
};

const AppSnapshot* snapshot(const App& app) { return static_cast<const AppSnapshot*>(app.get()); }

// One snapshot per process owning managed windows, in the order of each
// process's front window.
std::vector<App> snapshots(std::int32_t onlyPid) {
    std::vector<App> apps;
    std::vector<x11::ManagedWindow> windows = x11::managedWindows(onlyPid);
    Window active = x11::activeWindow();
    for (const auto& w : windows) {
        if (w.pid <= 0 || (onlyPid != 0 && w.pid != onlyPid)) continue;
        auto known = std::find_if(apps.begin(), apps.end(),
                                  [&](const App& a) { return snapshot(a)->pid == w.pid; });
        if (known != apps.end()) continue;
        auto* s = new AppSnapshot;
        App app(s);  // adopts the first reference
        s->pid = w.pid;
        bool allMinimised = true;
        for (const auto& mine : windows) {
            if (mine.pid != w.pid) continue;
            s->windows.push_back(mine);
            s->active = s->active || mine.id == active;
            allMinimised = allMinimised && mine.minimised;
        }
        s->hidden = allMinimised;
        x11::AppIdentity identity = x11::identifyApplication(w.pid, w.id);
        s->name = std::move(identity.name);
        s->identifier = std::move(identity.identifier);
        apps.push_back(std::move(app));
    }
    return apps;
}

}  // namespace

std::vector<App> runningApplications() { return snapshots(0); }

App frontmostApplication() {
    std::int32_t pid = x11::windowPid(x11::activeWindow());
    if (pid <= 0) return {};
    auto apps = snapshots(pid);
    return apps.empty() ? App() : apps.front();
}

App runningApplicationWithProcessIdentifier(std::int32_t pid) {
    if (pid <= 0) return {};
    auto apps = snapshots(pid);
    return apps.empty() ? App() : apps.front();
}

std::optional<std::string> localizedName(const App& app) {
    if (!app) return std::nullopt;
    return snapshot(app)->name;
}

std::optional<std::string> bundleIdentifier(const App& app) {
    if (!app) return std::nullopt;
    return snapshot(app)->identifier;
}

std::int32_t processIdentifier(const App& app) { return app ? snapshot(app)->pid : -1; }
bool isActive(const App& app) { return app && snapshot(app)->active; }
bool isHidden(const App& app) { return app && snapshot(app)->hidden; }

// Every process with managed windows is an ordinary application; without an
// application there is no policy (anything but 0 means "not regular").
std::int64_t activationPolicy(const App& app) { return app ? NSApplicationActivationPolicyRegular : -1; }

// Asks the window manager to activate the application's front window, as a
// pager would (ewmh.h), mapping it again first when it is minimised. The
// options have no X meaning: activation always brings the window forward.
bool activateWithOptions(const App& app, std::uint64_t) {
    Display* d = x11::display();
    if (!app || !d || snapshot(app)->windows.empty()) return false;
    const x11::ManagedWindow& target = snapshot(app)->windows.front();
    return x11::requestActivation(d, target.id, target.minimised);
}

// A macOS version test: nothing on this desktop depends on it, and the one
// caller only uses it to leave out a macOS option that X ignores anyway.
bool isOperatingSystemAtLeast(std::int64_t, std::int64_t, std::int64_t) { return true; }

// The portable layer asks for "/usr/bin/open [-g] -b ID". Here ID is a
// desktop-file id; anything else is refused before any launcher runs.
TaskOutcome runTask(const std::string& executable, const std::vector<std::string>& arguments) {
    if (executable != x11::kOpenCommand) return {false, "Cannot run " + executable + " on this desktop", 0};
    std::optional<x11::LaunchRequest> request = x11::parseOpenArguments(arguments);
    if (!request) return {true, "", 2};
    return x11::launchApplication(*request, x11::kGioLauncher, x11::applicationDirs(),
                                  x11::kLauncherTimeoutMilliseconds);
}

}  // namespace platform
