// The agent as a Model Context Protocol server over stdio: JSON-RPC 2.0, one
// message per line, in front of the same dispatcher as the agent's own
// protocol.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "channel/request_loop.h"

namespace mcp {

// The protocol version answered to a client that asks for one we do not know.
inline constexpr std::string_view kProtocolVersion = "2025-06-18";

// JSON-RPC error codes.
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;

// The answer line (with its LF) to one parsed message, or none for a
// notification or a response. `idText` is the JSON text of the message's "id"
// as it was sent (see channel::parseLine). Runs the tool of a tools/call on
// the calling thread, which must be the main executor's.
std::optional<std::string> answer(const nlohmann::json& message, const std::string& idText);

// The error line for a line that is not JSON (or breaks the line guards).
std::string parseErrorLine(std::string_view detail);

// The line front of the server: what each line of standard input becomes.
channel::Front front();

}  // namespace mcp
