// The response step and the one writer of standard output.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace channel {

// One response line (with its LF) for a request whose id text is `id`:
// {"id":…,"result":…} when dispatch::handle returned, {"id":…,"error":…,"code":…} when
// it threw; a Failure keeps its code, anything else becomes "helper".
std::string respondLine(const std::string& id, const nlohmann::json& request);

// Runs the response step for one request and writes its line.
void respond(const std::string& id, const nlohmann::json& request);

// Writes one whole line to file descriptor 1, the only writer of it; a line
// the pipe takes in parts is written on until it is all out. A failed write
// (standard output closed, for instance) drops the rest of the line.
void write(std::string_view line);

}  // namespace channel
