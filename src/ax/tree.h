// Snapshots of an application's accessibility tree.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

namespace ax {

// {"elements": [records], "truncated": bool}
nlohmann::json tree(std::int32_t pid, std::int64_t depth, std::int64_t max);

}  // namespace ax
