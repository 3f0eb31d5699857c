// The main executor where the platform has no run loop of its own: a FIFO of
// tasks drained by the main thread. The main thread takes every queued task at
// once and runs them in order, so a burst of requests costs one lock round.
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/platform.h"

namespace platform {
namespace {

struct Executor {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::function<void()>> queue;
    bool waiting = false;  // the main thread waits on `ready`
};

// The last task ends the process with std::exit on the main thread, and the
// exit destroys static objects while other threads may still be inside
// submit() (the reader that queued that task has not necessarily returned
// from it yet). So the executor is made once and never destroyed: whatever
// thread is in submit() finds it whole until the process is gone.
Executor& executor() {
    static Executor& e = *new Executor;
    return e;
}

}  // namespace

void submit(std::function<void()> task) {
    Executor& e = executor();
    std::lock_guard lock(e.mutex);
    e.queue.push_back(std::move(task));
    // Woken under the lock: the main thread cannot take the task (and run an
    // exit) before this call is done with the condition variable.
    if (e.waiting) {
        e.waiting = false;
        e.ready.notify_one();
    }
}

void serveMainExecutor() {
    Executor& e = executor();
    std::deque<std::function<void()>> batch;
    for (;;) {
        {
            std::unique_lock lock(e.mutex);
            while (e.queue.empty()) {
                e.waiting = true;
                e.ready.wait(lock);
            }
            batch.swap(e.queue);
        }
        for (auto& task : batch) task();
        batch.clear();
    }
}

}  // namespace platform
