#include "channel/request_loop.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct Pipe {
    int r = -1, w = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) == 0) r = fds[0], w = fds[1];
    }
    ~Pipe() {
        if (r >= 0) ::close(r);
        closeWriter();
    }
    void closeWriter() {
        if (w >= 0) ::close(w);
        w = -1;
    }
};

std::string readSome(int fd, ssize_t* n) {
    std::string buffer(64, '\0');
    *n = channel::readInput(fd, buffer.data(), buffer.size());
    return buffer.substr(0, *n > 0 ? static_cast<std::size_t>(*n) : 0);
}

TEST(ReadInput, WaitsOnAnEmptyNonBlockingPipeUntilDataComes) {
    Pipe p;
    ASSERT_GE(p.r, 0);
    ASSERT_EQ(::fcntl(p.r, F_SETFL, ::fcntl(p.r, F_GETFL) | O_NONBLOCK), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(::write(p.w, "abc", 3), 3);
    });
    ssize_t n = 0;
    EXPECT_EQ(readSome(p.r, &n), "abc");
    writer.join();
    p.closeWriter();
    EXPECT_EQ(readSome(p.r, &n), "");
    EXPECT_EQ(n, 0);  // the end of input, not an error
}

std::atomic<int> signals{0};
void onSignal(int) { ++signals; }

// The state letter of a thread of this process ('S' while it waits in a read).
char stateOf(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
}

TEST(ReadInput, RetriesAReadASignalInterrupted) {
    struct sigaction action {};
    action.sa_handler = onSignal;  // no SA_RESTART: the read fails with EINTR
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    Pipe p;
    ASSERT_GE(p.r, 0);
    std::atomic<pid_t> tid{0};
    std::atomic<bool> returned{false};
    std::string got;
    ssize_t n = -2;
    std::thread reader([&] {
        tid = static_cast<pid_t>(::syscall(SYS_gettid));
        got = readSome(p.r, &n);
        returned = true;
    });
    pthread_t handle = reader.native_handle();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto waitUntil = [&](auto done) {
        while (!done() && !returned && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    // Three times: once the reader waits in its read, a signal interrupts it.
    for (int i = 0; i < 3 && !returned; ++i) {
        waitUntil([&] { return tid != 0 && stateOf(tid) == 'S'; });
        int before = signals;
        ::pthread_kill(handle, SIGUSR1);
        waitUntil([&] { return signals > before; });
    }
    EXPECT_FALSE(returned) << "the read ended before any input came";
    ASSERT_EQ(::write(p.w, "xy", 2), 2);
    reader.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(got, "xy");
}

TEST(ReadInput, FailsAtOnceWhereRetryingCannotHelp) {
    int dir = ::open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dir, 0);
    ssize_t n = 0;
    readSome(dir, &n);
    int error = errno;
    ::close(dir);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(error, EISDIR);
    readSome(dir, &n);  // closed now
    EXPECT_EQ(n, -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(ReadInput, FailsAfterAFewRetriesWhenEioLasts) {
    // This process's memory at address 0, which is never mapped: every read
    // of it fails with EIO.
    int mem = ::open("/proc/self/mem", O_RDONLY);
    ASSERT_GE(mem, 0);
    ssize_t n = 0;
    readSome(mem, &n);
    int error = errno;
    ::close(mem);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(error, EIO);
}

}  // namespace
