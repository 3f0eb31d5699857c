// Element paths ("0.2.1") and their resolution against the live tree.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ax {

// The index list of a path, read leniently.
std::vector<std::int64_t> parsePath(std::string_view path);
// The element a path names; throws Failure "stale_element" when there is none.
platform::Element resolve(std::int32_t pid, std::string_view path);
// Throws the Failure "stale_element": the path no longer leads to the element
// the controller means.
[[noreturn]] void stale();

}  // namespace ax
