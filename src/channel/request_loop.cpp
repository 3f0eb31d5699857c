#include "channel/request_loop.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "channel/json_line.h"
#include "channel/response.h"
#include "input/pointer.h"
#include "platform/platform.h"

namespace channel {
namespace {

// Requests read but not yet answered hold their parsed objects, which take
// several times the bytes of their text. The reader does not run further ahead
// of the main thread than this much request text (a single request of any
// size still passes), so a controller that pipelines large requests behind a
// slow one cannot grow the agent without bound.
constexpr std::size_t kMaxPendingBytes = 2 * kMaxLineBytes;

std::mutex pendingMutex;
std::condition_variable pendingDrained;
std::size_t pendingBytes = 0;

// Waits until `cost` more bytes of request text may be pending, then counts them.
void reserve(std::size_t cost) {
    std::unique_lock lock(pendingMutex);
    pendingDrained.wait(lock, [&] { return pendingBytes == 0 || pendingBytes + cost <= kMaxPendingBytes; });
    pendingBytes += cost;
}

void release(std::size_t cost) {
    {
        std::lock_guard lock(pendingMutex);
        pendingBytes -= cost;
    }
    pendingDrained.notify_one();
}

// Gives the bytes back however the request ends.
struct Pending {
    std::size_t cost;
    ~Pending() { release(cost); }
};

// Hands what `front` makes of a line to the main executor, its text counted
// as pending until the task is done.
void accept(const Front& front, std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    reserve(line.size());
    auto task = front.line(line);
    if (!task) {
        release(line.size());
        return;
    }
    platform::submit([task = std::move(task), cost = line.size()] {
        Pending pending{cost};
        task();
    });
}

void acceptOverlong(const Front& front) {
    if (!front.overlong) return;
    if (auto task = front.overlong()) platform::submit(std::move(task));
}

Front agentFront() {
    Front front;
    front.line = [](std::string_view line) -> std::function<void()> {
        auto request = parseRequest(line);
        if (!request) return {};
        return [r = std::move(*request)] { respond(r.id, r.object); };
    };
    return front;
}

// EIO may pass, or last: a terminal that hung up, a background process group
// that lost its terminal, a failing device. A few reads a short while apart
// give a passing one time to clear; after them it counts as lasting.
constexpr int kEioRetries = 5;
constexpr int kEioPauseMs = 100;

// Blocks until `fd` is readable, at its end or in error; the next read tells which.
void waitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, -1) < 0) {
        if (errno == EINTR) continue;
        // Out of memory for the wait itself: pause a little, then read again.
        ::poll(nullptr, 0, 10);
        return;
    }
}

}  // namespace

ssize_t readInput(int fd, char* data, std::size_t size) {
    // How each error is taken:
    // - EINTR: a signal came first; read again.
    // - EAGAIN, EWOULDBLOCK: the descriptor is non-blocking (a controller may
    //   hand over such a pipe) and holds nothing yet; wait until it is
    //   readable, then read again.
    // - EIO: read again up to kEioRetries times, kEioPauseMs apart, then fail.
    // - anything else (EBADF, EISDIR, EINVAL, EFAULT, ...): retrying cannot
    //   help; fail at once.
    int eio = 0;
    for (;;) {
        ssize_t n = ::read(fd, data, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            waitReadable(fd);
            continue;
        }
        if (errno == EIO && eio < kEioRetries) {
            ++eio;
            ::poll(nullptr, 0, kEioPauseMs);
            continue;
        }
        return -1;
    }
}

void readLines(int fd, const Front& front) {
    std::string line;             // the current line so far
    bool overlong = false;        // the current line passed the cap: skip to its LF
    std::string chunk(1 << 16, '\0');
    ssize_t n;
    while ((n = readInput(fd, chunk.data(), chunk.size())) > 0) {
        std::string_view data(chunk.data(), static_cast<std::size_t>(n));
        while (!data.empty()) {
            std::size_t lf = data.find('\n');
            std::string_view piece = data.substr(0, lf);
            if (!overlong) {
                // The cap counts the CR of a CR LF ending too; one byte of slack keeps
                // a line of exactly the cap plus its CR acceptable.
                if (line.size() + piece.size() > kMaxLineBytes + 1) {
                    overlong = true;
                    line.clear();
                    line.shrink_to_fit();
                    acceptOverlong(front);
                } else if (lf != std::string_view::npos && line.empty()) {
                    accept(front, piece);  // the common case: the whole line is in this chunk
                } else {
                    line.append(piece);
                }
            }
            if (lf == std::string_view::npos) break;
            if (!overlong && !line.empty()) accept(front, line);
            line.clear();
            overlong = false;
            data.remove_prefix(lf + 1);
        }
    }
    // End of input or a read that failed for good: the last line without its
    // LF is a request all the same, and everything read is answered first.
    if (!overlong && !line.empty()) accept(front, line);
    int status = n < 0 ? 1 : 0;
    platform::submit([status] { std::exit(status); });
}

void readRequests(int fd) { readLines(fd, agentFront()); }

void serve(Front front) {
    // A closed standard output must not kill the agent: failed writes are dropped.
    std::signal(SIGPIPE, SIG_IGN);
#ifndef AGENT_KEEP_STDERR
    // Nothing is ever written to standard error, whatever a library would print.
    int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devnull >= 0) {
        ::dup2(devnull, 2);
        ::close(devnull);
    }
#endif
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    input::source = platform::cgEventSourceCreate(platform::kCGEventSourceStateHIDSystemState);
    std::thread([front = std::move(front)] { readLines(0, front); }).detach();
    platform::serveMainExecutor();
}

void run() { serve(agentFront()); }

}  // namespace channel
