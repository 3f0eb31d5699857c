// Opening applications: what reaches the launcher, how it is run, and what
// its outcome says.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/x11/desktop/launcher.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace platform::x11;
using Args = std::vector<std::string>;

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/launcher-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeExecutable(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
    ::chmod(path.c_str(), 0755);
}

// Waits (bounded) for a file written by a process that runs on its own.
bool appears(const std::string& path) {
    for (int i = 0; i < 500 && !fs::exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

TEST(OpenArguments, OnlyTheLauncherShapeWithAUsableId) {
    auto bg = parseOpenArguments({"-g", "-b", "org.example.Editor"});
    ASSERT_TRUE(bg);
    EXPECT_EQ(bg->id, "org.example.Editor");
    EXPECT_TRUE(bg->background);
    auto fg = parseOpenArguments({"-b", "kde-konsole"});
    ASSERT_TRUE(fg);
    EXPECT_EQ(fg->id, "kde-konsole");
    EXPECT_FALSE(fg->background);

    for (const Args& bad : {Args{}, Args{"-b"}, Args{"-g", "-b"}, Args{"-b", ""}, Args{"-b", "--help"},
                            Args{"-g", "-b", "-g"}, Args{"-b", "../x"}, Args{"-b", "/usr/bin/x"},
                            Args{"-b", std::string("a\0b", 3)}, Args{"-b", "x", "extra"}, Args{"-g", "-g", "-b", "x"},
                            Args{"-a", "x"}, Args{"x"}, Args{"-b", "x", "-g"}})
        EXPECT_FALSE(parseOpenArguments(bad)) << ::testing::PrintToString(bad);
}

TEST(LauncherEnvironment, ReplacesAnyStartupIdAndKeepsTheRest) {
    std::string a = "PATH=/bin", b = "DESKTOP_STARTUP_ID=inherited", c = "DESKTOP_STARTUP_IDX=kept";
    char* env[] = {a.data(), b.data(), c.data(), nullptr};
    EXPECT_EQ(launcherEnvironment(env, ""), (Args{"PATH=/bin", "DESKTOP_STARTUP_IDX=kept"}));
    std::string id = backgroundStartupId(42, 7);
    EXPECT_TRUE(id.ends_with("_TIME0")) << id;
    EXPECT_NE(id, backgroundStartupId(42, 8));
    EXPECT_EQ(launcherEnvironment(env, id), (Args{"PATH=/bin", "DESKTOP_STARTUP_IDX=kept", "DESKTOP_STARTUP_ID=" + id}));
    EXPECT_EQ(launcherEnvironment(nullptr, ""), Args{});
}

TEST(RunQuietly, ChildGetsNullStreamsCleanSignalsAndOnlyTheGivenEnvironment) {
    TempDir dir;
    std::string out = dir / "out";
    // The agent ignores SIGPIPE; a blocked signal stands for its threads' masks.
    auto previous = ::signal(SIGPIPE, SIG_IGN);
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &block, &old);
    ::setenv("AGENT_TEST_VARIABLE", "from the parent", 1);
    // Read the shell's own descriptors before it opens anything itself.
    std::string script = "fds=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2); "
                         "exec 3>\"$OUT\"; echo \"$fds\" >&3; echo \"${AGENT_TEST_VARIABLE-unset}\" >&3; "
                         "echo noise; echo noise >&2; "
                         // the spawned process itself, not the shell's children (it blocks
                         // signals while it waits for them)
                         "exec grep -E '^Sig(Ign|Blk)' /proc/self/status >&3";
    auto outcome = runQuietly({"/bin/sh", "-c", script}, {"OUT=" + out}, 5000);
    ::unsetenv("AGENT_TEST_VARIABLE");
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    ::signal(SIGPIPE, previous);

    EXPECT_TRUE(outcome.started) << outcome.error;
    EXPECT_EQ(outcome.status, 0);
    std::istringstream lines(slurp(out));
    std::string line;
    for (int fd = 0; fd < 3; ++fd) {
        std::getline(lines, line);
        EXPECT_EQ(line, "/dev/null") << "descriptor " << fd;
    }
    std::getline(lines, line);
    EXPECT_EQ(line, "unset");
    std::getline(lines, line);
    EXPECT_EQ(line, "SigBlk:\t0000000000000000");
    // glibc's spawn leaves its own two internal real-time signals ignored (a
    // glibc program installs them again at start); every classic signal,
    // SIGPIPE among them, is back to its default.
    std::getline(lines, line);
    ASSERT_TRUE(line.starts_with("SigIgn:\t")) << line;
    unsigned long long ignored = std::stoull(line.substr(8), nullptr, 16);
    EXPECT_EQ(ignored & 0x7fffffffULL, 0u) << line;  // signals 1 to 31
}

TEST(RunQuietly, OutcomeIsTheExitStatus) {
    auto exited = runQuietly({"/bin/sh", "-c", "exit 3"}, {}, 5000);
    EXPECT_TRUE(exited.started);
    EXPECT_EQ(exited.status, 3);
    auto killed = runQuietly({"/bin/sh", "-c", "kill -TERM $$"}, {}, 5000);
    EXPECT_TRUE(killed.started);
    EXPECT_EQ(killed.status, 128 + SIGTERM);

    auto missing = runQuietly({"/nonexistent/launcher", "launch"}, {}, 5000);
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.error.find("/nonexistent/launcher"), std::string::npos) << missing.error;
    EXPECT_FALSE(runQuietly({}, {}, 5000).started);
}

TEST(RunQuietly, ALauncherThatHangsIsEndedAndReaped) {
    TempDir dir;
    std::string pidFile = dir / "pid";
    auto outcome = runQuietly({"/bin/sh", "-c", "echo $$ > \"$1\"; exec sleep 30", "sh", pidFile}, {}, 200);
    EXPECT_FALSE(outcome.started);
    EXPECT_FALSE(outcome.error.empty());
    pid_t pid = std::stoi(slurp(pidFile));
    EXPECT_EQ(::kill(pid, 0), -1);  // gone and reaped, not a zombie
    EXPECT_EQ(errno, ESRCH);
}

// A launcher that records its arguments and startup id, then exits with `status`.
class FakeLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "apps");
        std::ofstream(dir / "apps/org.example.Editor.desktop")
            << "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor\n";
        useStatus(0);
        ::setenv("DESKTOP_STARTUP_ID", "inherited-id", 1);
    }
    void TearDown() override { ::unsetenv("DESKTOP_STARTUP_ID"); }
    void useStatus(int status) {
        writeExecutable(launcher, "#!/bin/sh\n{ for a in \"$@\"; do echo \"$a\"; done; "
                                  "echo \"id=${DESKTOP_STARTUP_ID-unset}\"; } > '" + record + "'\nexit " +
                                      std::to_string(status) + "\n");
    }
    TempDir dir;
    std::string launcher = dir / "launcher", record = dir / "record";
    std::vector<std::string> dirs{dir / "apps"};
};

TEST_F(FakeLauncher, OpensTheDesktopFileOfTheId) {
    auto outcome = launchApplication({"org.example.Editor", false}, launcher, dirs, 5000);
    EXPECT_TRUE(outcome.started) << outcome.error;
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(slurp(record), "launch\n" + dir / "apps/org.example.Editor.desktop" + "\nid=unset\n");
}

TEST_F(FakeLauncher, BackgroundAsksForNoFocusThroughAZeroUserTime) {
    auto outcome = launchApplication({"org.example.Editor", true}, launcher, dirs, 5000);
    EXPECT_TRUE(outcome.started);
    std::string text = slurp(record);
    auto id = text.substr(text.find("id=") + 3);
    EXPECT_NE(id, "inherited-id\n");
    EXPECT_TRUE(id.ends_with("_TIME0\n")) << id;
}

TEST_F(FakeLauncher, TheLaunchersStatusIsTheOutcome) {
    useStatus(4);
    auto outcome = launchApplication({"org.example.Editor", false}, launcher, dirs, 5000);
    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.status, 4);
}

TEST_F(FakeLauncher, UnknownIdFailsWithoutRunningIt) {
    auto outcome = launchApplication({"org.example.Missing", false}, launcher, dirs, 5000);
    EXPECT_TRUE(outcome.started);
    EXPECT_NE(outcome.status, 0);
    EXPECT_FALSE(fs::exists(record));
}

TEST_F(FakeLauncher, MissingLauncherIsNotStarted) {
    auto outcome = launchApplication({"org.example.Editor", false}, dir / "no-launcher", dirs, 5000);
    EXPECT_FALSE(outcome.started);
    EXPECT_NE(outcome.error.find("no-launcher"), std::string::npos) << outcome.error;
    ::chmod(launcher.c_str(), 0644);
    EXPECT_FALSE(launchApplication({"org.example.Editor", false}, launcher, dirs, 5000).started);
}

// GLib's launcher itself: it must start the entry's program, and fail for
// an entry whose program does not exist.
TEST(GioLauncher, StartsTheProgramAndFailsForAMissingOne) {
    if (::access(kGioLauncher, X_OK) != 0) GTEST_SKIP() << kGioLauncher << " is not installed";
    TempDir dir;
    fs::create_directories(dir / "apps");
    std::string marker = dir / "started";
    std::ofstream(dir / "apps/started.desktop")
        << "[Desktop Entry]\nType=Application\nName=Started\nExec=/bin/touch " << marker << "\n";
    std::ofstream(dir / "apps/broken.desktop")
        << "[Desktop Entry]\nType=Application\nName=Broken\nExec=/nonexistent/program\n";
    std::vector<std::string> dirs{dir / "apps"};

    auto ok = launchApplication({"started", true}, kGioLauncher, dirs, 10000);
    EXPECT_TRUE(ok.started) << ok.error;
    EXPECT_EQ(ok.status, 0);
    EXPECT_TRUE(appears(marker));

    auto broken = launchApplication({"broken", false}, kGioLauncher, dirs, 10000);
    EXPECT_TRUE(broken.started) << broken.error;
    EXPECT_NE(broken.status, 0);
}

}  // namespace
