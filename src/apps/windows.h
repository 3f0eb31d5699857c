// The on-screen window list and the window under a point.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace apps {

// Window records, front to back; with layerZero only layer-0 windows.
nlohmann::json windowList(bool layerZero);
// {"pid", "bundleId", "app", "windowId"} of the front window containing the
// point (every layer), or {} when none does.
nlohmann::json windowAt(platform::Point point);

}  // namespace apps
