// The macOS backend's launcher run (task.mm), which is plain POSIX, run here
// with /bin/sh as the program: what the child prints never reaches the
// agent's standard output or error, and it reads nothing of the agent's input.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Reads a whole file from its start.
std::string contents(int fd) {
    std::string text;
    char buffer[256];
    ssize_t n;
    for (off_t at = 0; (n = ::pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
    return text;
}

// The agent's standard streams while a program runs: input a pipe holding one
// line (so a child that reads it gets it at once instead of blocking), output
// and error one temporary file. Restored at the end of the scope.
class RedirectedStreams {
public:
    RedirectedStreams() {
        std::fflush(stdout);
        std::fflush(stderr);
        char path[] = "/tmp/agent-task-test-XXXXXX";
        file_ = ::mkstemp(path);
        ::unlink(path);
        int input[2];
        ok_ = file_ >= 0 && ::pipe(input) == 0;
        if (!ok_) return;
        ok_ = ::write(input[1], "the agent's input\n", 18) == 18;
        ::close(input[1]);
        if (!ok_) {
            ::close(input[0]);
            return;
        }
        for (int fd : {0, 1, 2}) saved_[fd] = ::dup(fd);
        ::dup2(input[0], 0);
        ::close(input[0]);
        ::dup2(file_, 1);
        ::dup2(file_, 2);
    }
    ~RedirectedStreams() {
        restore();
        if (file_ >= 0) ::close(file_);
    }
    RedirectedStreams(const RedirectedStreams&) = delete;
    RedirectedStreams& operator=(const RedirectedStreams&) = delete;

    bool ok() const { return ok_; }
    void restore() {
        for (int fd : {0, 1, 2})
            if (saved_[fd] >= 0) {
                ::dup2(saved_[fd], fd);
                ::close(saved_[fd]);
                saved_[fd] = -1;
            }
    }
    // What reached the agent's standard output and error.
    std::string written() const { return contents(file_); }

private:
    int file_ = -1;
    int saved_[3] = {-1, -1, -1};
    bool ok_ = false;
};

TEST(RunTask, TheChildPrintsNothingIntoTheAgentsStreamsAndReadsNothingOfItsInput) {
    platform::TaskOutcome outcome;
    std::string written;
    {
        RedirectedStreams streams;
        ASSERT_TRUE(streams.ok());
        // The agent's own writes do land in the file: the check below sees a leak.
        ASSERT_EQ(::write(1, "agent\n", 6), 6);
        // Exits 3 when it could read the agent's input, after printing on both streams.
        outcome = platform::runTask("/bin/sh", {"-c", "echo out; echo err >&2; if read -r line; then exit 3; fi"});
        streams.restore();
        written = streams.written();
    }
    ASSERT_TRUE(outcome.started) << outcome.error;
    EXPECT_EQ(outcome.status, 0) << "the child read the agent's input";
    EXPECT_EQ(written, "agent\n") << "the child's output reached the agent's streams";
}

TEST(RunTask, TheExitStatusComesBack) {
    platform::TaskOutcome outcome = platform::runTask("/bin/sh", {"-c", "exit 7"});
    ASSERT_TRUE(outcome.started) << outcome.error;
    EXPECT_EQ(outcome.status, 7);
    outcome = platform::runTask("/bin/sh", {"-c", "exit 0"});
    ASSERT_TRUE(outcome.started) << outcome.error;
    EXPECT_EQ(outcome.status, 0);
}

TEST(RunTask, AProgramThatCannotStartOrAnArgumentWithNulIsReportedNotRun) {
    platform::TaskOutcome missing = platform::runTask("/nonexistent/agent-launcher", {});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.error.empty());
    platform::TaskOutcome nul = platform::runTask("/bin/sh", {"-c", std::string("exit 0\0", 7)});
    EXPECT_FALSE(nul.started);
    EXPECT_FALSE(nul.error.empty());
}

}  // namespace
