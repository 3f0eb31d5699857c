#include "platform/x11/desktop/app_identity.h"

#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <utility>

#include "platform/x11/desktop/desktop_entries.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {
namespace {

// The basename of the process's executable ("" when it cannot be read).
std::string executableName(std::int32_t pid) {
    char buffer[PATH_MAX];
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    std::string path(buffer, static_cast<std::size_t>(n));
    constexpr std::string_view deleted = " (deleted)";  // replaced since it started
    if (path.ends_with(deleted)) path.resize(path.size() - deleted.size());
    return baseName(path);
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
