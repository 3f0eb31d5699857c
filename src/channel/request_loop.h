// Process entry and the reader thread.
#pragma once

#include <cstddef>

#include <sys/types.h>

namespace channel {

// Reads from `fd` as read(2) does, but waits out what retrying can get past:
// an interrupted read is retried, a non-blocking descriptor with nothing to
// read is waited on until it is readable, and EIO is retried a few times, a
// short while apart. Returns the count of bytes read, 0 at the end of input,
// or -1 with errno set when reading has failed for good.
ssize_t readInput(int fd, char* data, std::size_t size);

// Reads request lines from `fd` until end of input, handing each request
// object to the main executor, then queues the task that exits with status 0.
// A read that fails for good ends the input in the same way, but the status
// is 1; everything read before it is answered all the same.
void readRequests(int fd);

// The process entry: prepares the process, creates the shared event source,
// starts the reader thread and serves the main executor. Does not return.
[[noreturn]] void run();

}  // namespace channel
