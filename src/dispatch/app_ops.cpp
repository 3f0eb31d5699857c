#include "apps/apps.h"
#include "channel/failure.h"
#include "dispatch/arguments.h"
#include "dispatch/operations.h"

namespace dispatch::ops {

json activate(const json& request) {
    auto pid = pidOf(request);
    if (!pid) throw channel::Failure{"Missing app", "bad_args"};
    ::apps::activate(*pid);
    return {{"ok", true}};
}

json launch(const json& request) {
    std::string bundleId = string(request, "bundleId").value_or("");
    bool background = boolean(request, "background").value_or(true);
    ::apps::launch(bundleId, background);
    return {{"ok", true}};
}

}  // namespace dispatch::ops
