// Reading accessibility attributes. Every fault reads as absent; a read the
// application did not answer in time is also counted, so that an operation can
// tell a partial answer from a complete one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace ax {

// Reads and calls that failed because the application did not answer in time
// (kAXErrorCannotComplete), counted since the process started. An operation
// compares the count before and after its reads.
std::uint64_t timeouts();
// Counts `error` when it says the application did not answer; returns it.
platform::AXError noteTimeout(platform::AXError error);

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
