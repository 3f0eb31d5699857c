#include "apps/apps.h"

#include <stdexcept>

#include "channel/failure.h"

namespace apps {
namespace {

constexpr const char* kLauncher = "/usr/bin/open";
constexpr std::uint32_t kActivateWaitMicroseconds = 120000;
constexpr std::uint32_t kLaunchWaitMicroseconds = 600000;

}  // namespace

nlohmann::json appInfo(const platform::App& app) {
    // Read in this order: name, identifier, pid, active, hidden.
    std::string name = platform::localizedName(app).value_or("");
    std::string bundle = platform::bundleIdentifier(app).value_or("");
    std::int64_t pid = platform::processIdentifier(app);
    bool active = platform::isActive(app);
    bool hidden = platform::isHidden(app);
    return {{"name", std::move(name)},
            {"bundleId", std::move(bundle)},
            {"pid", pid},
            {"active", active},
            {"hidden", hidden}};
}

nlohmann::json apps() {
    nlohmann::json list = nlohmann::json::array();
    for (const platform::App& app : platform::runningApplications()) {
        // The policy first: the identifier is only read for regular applications.
        if (platform::activationPolicy(app) != platform::NSApplicationActivationPolicyRegular)
            continue;
        if (!platform::bundleIdentifier(app)) continue;
        list.push_back(appInfo(app));
    }
    return {{"apps", std::move(list)}};
}

std::string bundleId(std::int32_t pid) {
    platform::App app = platform::runningApplicationWithProcessIdentifier(pid);
    if (!app) return "";
    return platform::bundleIdentifier(app).value_or("");
}

void activate(std::int32_t pid) {
    {
        platform::App app = platform::runningApplicationWithProcessIdentifier(pid);
        if (!app) throw channel::Failure{"That app is not running", "not_running"};
        // "Ignoring other apps" is deprecated from 14 on, where it has no effect.
        std::uint64_t options = platform::isOperatingSystemAtLeast(14, 0, 0)
                                    ? 0
                                    : platform::NSApplicationActivateIgnoringOtherApps;
        platform::activateWithOptions(app, options);
    }  // the handle is given back before the wait
    platform::sleepMicroseconds(kActivateWaitMicroseconds);
}

void launch(const std::string& bundleId, bool background) {
    // An identifier holding a NUL byte cannot name an application, and as a C
    // argument it would be cut short at the NUL and open some other one.
    if (bundleId.find('\0') != std::string::npos)
        throw channel::Failure{"Could not open that app", "open_failed"};
    std::vector<std::string> arguments;
    if (background) arguments.emplace_back("-g");
    arguments.emplace_back("-b");
    arguments.push_back(bundleId);
    platform::TaskOutcome outcome = platform::runTask(kLauncher, arguments);
    if (!outcome.started)
        throw std::runtime_error(outcome.error.empty() ? std::string("Could not start ") + kLauncher
                                                       : outcome.error);
    if (outcome.status != 0) throw channel::Failure{"Could not open that app", "open_failed"};
    platform::sleepMicroseconds(kLaunchWaitMicroseconds);
}

}  // namespace apps
