// The response step and the one writer of standard output.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace channel {

// One response line (with its LF) for a request whose id text is `id`:
// {"id":…,"result":…} when `handle` returned, {"id":…,"error":…,"code":…} when
// it threw; a Failure keeps its code, anything else becomes "helper".
std::string respondLine(const std::string& id, const nlohmann::json& request);

// Runs the response step for one request and writes its line.
void respond(const std::string& id, const nlohmann::json& request);

// Writes one whole line to file descriptor 1 in a single write. A failed write
// (standard output closed, for instance) is dropped.
void write(std::string_view line);

}  // namespace channel
