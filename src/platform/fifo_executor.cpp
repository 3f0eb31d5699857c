// The main executor where the platform has no run loop of its own: a FIFO of
// tasks drained by the main thread. The main thread takes every queued task at
// once and runs them in order, so a burst of requests costs one lock round.
// Before it sleeps it watches the queue for a short while: a controller that
// sends its next request as soon as it has read an answer then finds the main
// thread awake, which saves a thread wake-up on every round trip.
#include <atomic>
#include <chrono>
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
std::atomic<bool> pending{false};

constexpr auto kWatch = std::chrono::microseconds(50);

void watchForWork() {
    auto until = std::chrono::steady_clock::now() + kWatch;
    for (int i = 0; !pending.load(std::memory_order_acquire); ++i) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        if (i % 64 == 0 && std::chrono::steady_clock::now() > until) return;
    }
}

}  // namespace

void submit(std::function<void()> task) {
    bool wake;
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(task));
        pending.store(true, std::memory_order_release);
        wake = waiting;
        waiting = false;
    }
    if (wake) ready.notify_one();
}

void serveMainExecutor() {
    std::deque<std::function<void()>> batch;
    for (;;) {
        watchForWork();
        {
            std::unique_lock lock(mutex);
            while (queue.empty()) {
                waiting = true;
                ready.wait(lock);
            }
            batch.swap(queue);
            pending.store(false, std::memory_order_relaxed);
        }
        for (auto& task : batch) task();
        batch.clear();
    }
}

}  // namespace platform
