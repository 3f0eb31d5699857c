// The focused element, and pressing whatever lies under a point.
#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace ax {

// {"secureInput", "secure"} and, when something has focus, "role" and "subrole".
nlohmann::json focusInfo(std::optional<std::int32_t> pid);
// {"ok"} and, when "AXPress" was attempted, "role".
nlohmann::json pressAt(std::int32_t pid, platform::Point point);

}  // namespace ax
