// Process entry and the reader thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include <sys/types.h>

namespace channel {

// Reads from `fd` as read(2) does, but waits out what retrying can get past:
// an interrupted read is retried, a non-blocking descriptor with nothing to
// read is waited on until it is readable, and EIO is retried a few times, a
// short while apart. Returns the count of bytes read, 0 at the end of input,
// or -1 with errno set when reading has failed for good.
ssize_t readInput(int fd, char* data, std::size_t size);

// A front of the process: what a line of standard input becomes. Both
// functions run on the reader thread; the tasks they return run on the main
// executor, in line order (an empty task: the line gets no answer).
struct Front {
    // A line within kMaxLineBytes, without its LF and the CR before it.
    std::function<std::function<void()>(std::string_view line)> line;
    // A line longer than kMaxLineBytes, skipped up to its LF.
    std::function<std::function<void()>()> overlong;
};

// Reads lines from `fd` until end of input, handing what `front` makes of
// each to the main executor, then queues the task that exits with status 0.
// A read that fails for good ends the input in the same way, but the status
// is 1; everything read before it is answered all the same. The reader stays
// at most twice kMaxLineBytes of line text ahead of the tasks.
void readLines(int fd, const Front& front);

// readLines with the agent's own front: request objects to the response
// step; a line that is not a request object gets no answer.
void readRequests(int fd);

// Prepares the process, creates the shared event source, starts the reader
// thread over standard input with `front` and serves the main executor.
// Does not return.
[[noreturn]] void serve(Front front);

// The agent's process entry: serve() with the agent's front.
[[noreturn]] void run();

}  // namespace channel
