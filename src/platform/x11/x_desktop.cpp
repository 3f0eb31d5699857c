#include "platform/x11/x_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <optional>
#include <utility>

#include "platform/x11/desktop/desktop_entries.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {
namespace {

std::string lastPathPart(std::string path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The basename of the process's executable ("" when it cannot be read).
std::string executableName(std::int32_t pid) {
    char buffer[PATH_MAX];
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    std::string path(buffer, static_cast<std::size_t>(n));
    constexpr std::string_view deleted = " (deleted)";  // replaced since it started
    if (path.ends_with(deleted)) path.resize(path.size() - deleted.size());
    return lastPathPart(std::move(path));
}

// The process's command name (/proc/PID/comm, at most 15 bytes).
std::string commandName(std::int32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// WM_CLASS as (instance, class).
std::pair<std::string, std::string> classHint(Window window) {
    std::pair<std::string, std::string> names;
    Display* d = display();
    if (!d) return names;
    ErrorTrap trap;
    XClassHint hint{nullptr, nullptr};
    if (XGetClassHint(d, window, &hint)) {
        if (hint.res_name) names.first = hint.res_name;
        if (hint.res_class) names.second = hint.res_class;
    }
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return names;
}

const std::string& firstNonEmpty(std::initializer_list<const std::string*> choices) {
    for (const std::string* s : choices)
        if (!s->empty()) return *s;
    return **(choices.end() - 1);
}

}  // namespace

std::vector<ManagedWindow> managedWindows(std::int32_t onlyPid) {
    std::vector<ManagedWindow> windows;
    Display* d = display();
    if (!d) return windows;
    Window root = DefaultRootWindow(d);
    std::vector<std::uint32_t> ids = property32(root, atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (ids.empty()) ids = property32(root, atom("_NET_CLIENT_LIST"), XA_WINDOW);
    windows.reserve(ids.size());
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        Window w = *it;
        std::int32_t pid = windowPid(w);
        if (onlyPid == 0 || pid == onlyPid)
            windows.push_back({w, pid, hasState(windowStates(w), "_NET_WM_STATE_HIDDEN")});
    }
    return windows;
}

Window activeWindow() {
    Display* d = display();
    if (!d) return None;
    auto ids = property32(DefaultRootWindow(d), atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    return ids.empty() ? None : ids.front();
}

std::int32_t windowPid(Window window) {
    auto pid = property32(window, atom("_NET_WM_PID"), XA_CARDINAL);
    if (pid.empty() || pid.front() == 0 || pid.front() > static_cast<std::uint32_t>(INT32_MAX)) return 0;
    return static_cast<std::int32_t>(pid.front());
}

std::vector<std::uint32_t> windowStates(Window window) {
    return property32(window, atom("_NET_WM_STATE"), XA_ATOM);
}

bool hasState(const std::vector<std::uint32_t>& states, const char* name) {
    Atom wanted = atom(name);
    return wanted != None && std::find(states.begin(), states.end(), wanted) != states.end();
}

WindowType windowType(Window window) {
    static constexpr std::pair<const char*, WindowType> kTypes[] = {
        {"_NET_WM_WINDOW_TYPE_NORMAL", WindowType::normal},
        {"_NET_WM_WINDOW_TYPE_DESKTOP", WindowType::desktop},
        {"_NET_WM_WINDOW_TYPE_DOCK", WindowType::dock},
        {"_NET_WM_WINDOW_TYPE_TOOLBAR", WindowType::toolbar},
        {"_NET_WM_WINDOW_TYPE_MENU", WindowType::menu},
        {"_NET_WM_WINDOW_TYPE_UTILITY", WindowType::utility},
        {"_NET_WM_WINDOW_TYPE_SPLASH", WindowType::splash},
        {"_NET_WM_WINDOW_TYPE_DIALOG", WindowType::dialog},
        {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", WindowType::dropdownMenu},
        {"_NET_WM_WINDOW_TYPE_POPUP_MENU", WindowType::popupMenu},
        {"_NET_WM_WINDOW_TYPE_TOOLTIP", WindowType::tooltip},
        {"_NET_WM_WINDOW_TYPE_NOTIFICATION", WindowType::notification},
        {"_NET_WM_WINDOW_TYPE_COMBO", WindowType::combo},
        {"_NET_WM_WINDOW_TYPE_DND", WindowType::dnd},
    };
    // In order of preference: the first type the backend knows wins.
    for (std::uint32_t type : property32(window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM))
        for (auto& [name, kind] : kTypes)
            if (atom(name) == type) return kind;
    return WindowType::normal;
}

AppIdentity identifyApplication(std::int32_t pid, Window window) {
    auto [instance, wmClass] = classHint(window);
    std::string executable = pid > 0 ? executableName(pid) : "";
    std::string command = pid > 0 ? commandName(pid) : "";
    std::string gtkId = propertyText(window, atom("_GTK_APPLICATION_ID")).value_or("");

    const std::vector<DesktopEntry>& entries = installedApplications();
    const DesktopEntry* entry = nullptr;
    if (!gtkId.empty()) {
        auto it = std::find_if(entries.begin(), entries.end(), [&](const DesktopEntry& e) { return e.id == gtkId; });
        if (it != entries.end()) entry = &*it;
    } else {
        entry = matchApplication(entries, wmClass, instance, executable);
    }

    AppIdentity identity;
    std::string byPid = "pid-" + std::to_string(pid);
    const std::string& fromEntry = entry ? entry->id : gtkId;
    identity.identifier = firstNonEmpty({&gtkId, &fromEntry, &wmClass, &instance, &command, &executable, &byPid});
    std::string entryName = entry ? entry->name : "";
    identity.name = firstNonEmpty({&entryName, &wmClass, &instance, &command, &executable, &identity.identifier});
    return identity;
}

}  // namespace platform::x11
