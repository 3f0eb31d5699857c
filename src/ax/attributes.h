// Reading accessibility attributes. Every fault reads as absent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace ax {

std::optional<platform::Value> attr(const platform::Element& element, const std::string& name);
std::optional<std::string> str(const platform::Element& element, const std::string& name);
std::vector<platform::Element> children(const platform::Element& element);
// {"x", "y", "w", "h"} from "AXPosition" and "AXSize".
std::optional<nlohmann::json> frame(const platform::Element& element);
bool isSecure(const platform::Element& element);
// The application element of a process, with a 2-second messaging timeout.
platform::Element appElement(std::int32_t pid);
std::vector<platform::Element> windows(std::int32_t pid);

}  // namespace ax
