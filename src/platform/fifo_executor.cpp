// The main executor where the platform has no run loop of its own: a FIFO of
// tasks drained by the main thread. The main thread takes every queued task at
// once and runs them in order, so a burst of requests costs one lock round.
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/platform.h"

namespace platform {
namespace {

std::mutex mutex;
std::condition_variable ready;
std::deque<std::function<void()>> queue;
bool waiting = false;

}  // namespace

void submit(std::function<void()> task) {
    bool wake;
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(task));
        wake = waiting;
        waiting = false;
    }
    if (wake) ready.notify_one();
}

void serveMainExecutor() {
    std::deque<std::function<void()>> batch;
    for (;;) {
        {
            std::unique_lock lock(mutex);
            while (queue.empty()) {
                waiting = true;
                ready.wait(lock);
            }
            batch.swap(queue);
        }
        for (auto& task : batch) task();
        batch.clear();
    }
}

}  // namespace platform
