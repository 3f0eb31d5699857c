// The operations as Model Context Protocol tools: one tool per operation of
// the dispatcher, under the operation's own name.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace mcp {

// The "tools" array of a tools/list answer: name, title, description,
// inputSchema, outputSchema and annotations of every tool, in the order of
// the operation table.
const nlohmann::json& tools();

// Whether `name` is the name of a tool (exactly, as "op" is matched).
bool isTool(std::string_view name);

}  // namespace mcp
