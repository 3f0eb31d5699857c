// Running applications: records, listing, activation and launch.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace apps {

// {"name", "bundleId", "pid", "active", "hidden"} of one running application.
nlohmann::json appInfo(const platform::App& app);
// {"apps": [records]} of the regular applications that have a bundle identifier.
nlohmann::json apps();
// The bundle identifier of the application with that pid, or "".
std::string bundleId(std::int32_t pid);
// Brings the application to the front and waits 120 ms; throws "not_running".
void activate(std::int32_t pid);
// Opens an application by bundle identifier through the system launcher.
// Throws Failure "open_failed" on a non-zero exit status, and std::runtime_error
// with the platform's description when the launcher cannot be started.
void launch(const std::string& bundleId, bool background);

}  // namespace apps
