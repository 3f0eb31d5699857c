// The processes screenshot_bench times: the agent answering "screenshot",
// and the command-line tools a user would run for the same picture.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct ToolRun {
    bool ok = false;        // ran to exit status 0 with output every time
    double ms = 0;          // median, start to exit
    std::size_t bytes = 0;  // its standard output (the PNG)
};
// Runs ARGV `rounds` times (plus a warm-up), its output read from a pipe.
ToolRun timeTool(const std::vector<std::string>& argv, int rounds);

struct AgentRun {
    bool ok = false;            // every answer was a result with a PNG
    double ms = 0;              // median, request written to answer line read
    std::size_t lineBytes = 0;  // the answer line, newline included
    std::size_t pngBytes = 0;   // the PNG, decoded from its base64
};
// One agent at AGENT, sent `rounds` full-screen "screenshot" requests (plus a
// warm-up) one at a time.
AgentRun timeAgent(const char* agent, int rounds);

}  // namespace bench
