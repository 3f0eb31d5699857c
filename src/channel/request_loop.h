// Process entry and the reader thread.
#pragma once

namespace channel {

// Reads request lines from `fd` until end of input, handing each request
// object to the main executor, then queues the task that exits with status 0.
void readRequests(int fd);

// The process entry: prepares the process, creates the shared event source,
// starts the reader thread and serves the main executor. Does not return.
[[noreturn]] void run();

}  // namespace channel
