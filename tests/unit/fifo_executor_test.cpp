// The main executor of the platforms without a run loop of their own, as the
// agent uses it: several threads submit, the main thread drains, and the last
// task ends the process with std::exit while other threads are still inside
// submit(). Run it in the sanitizer build too: a submit that touched state the
// exit had already destroyed shows up there.
#include <atomic>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

constexpr int kThreads = 4;
constexpr int kTasks = 20000;

// Touched by tasks only, so only on the main thread.
int ran[kThreads];
int finishedThreads = 0;

std::atomic<bool> exiting{false};
std::atomic<int> pending{0};  // submitted by the never-ending submitters, not yet run
std::atomic<int> late{0};     // never-ending submitters that saw the exit begin

[[noreturn]] void submitFromEverywhereThenExit() {
    for (int t = 0; t < kThreads; ++t) {
        std::thread([t] {
            for (int i = 0; i < kTasks; ++i)
                platform::submit([t, i] {
                    if (ran[t] != i) std::_Exit(3);  // one lost, or out of order
                    ran[t] = i + 1;
                });
            platform::submit([] {
                if (++finishedThreads < kThreads) return;
                for (int n : ran)
                    if (n != kTasks) std::_Exit(4);
                exiting = true;
                while (late < 2) std::this_thread::yield();
                std::exit(0);  // the agent's last task does the same
            });
        }).detach();
    }
    // Two more threads keep submitting while the main thread drains, a bounded
    // number ahead of it, and go on once the exit has begun, until the process
    // is gone: they call submit() while the exit runs the static destructors.
    for (int t = 0; t < 2; ++t) {
        std::thread([] {
            while (!exiting) {
                if (pending > 10000) {
                    std::this_thread::yield();
                    continue;
                }
                ++pending;
                platform::submit([] { --pending; });
            }
            ++late;
            for (;;) {
                platform::submit([] {});
                std::this_thread::yield();
            }
        }).detach();
    }
    platform::serveMainExecutor();
}

TEST(FifoExecutorDeathTest, RunsEveryTaskInOrderAndExitsWhileOthersSubmit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(submitFromEverywhereThenExit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
