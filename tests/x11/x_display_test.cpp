// The Linux backend's shared X connection against a private Xvfb: atoms,
// property reads and the error trap while the server runs, and empty answers
// (never an exit, never a hang) once the server has been killed.
//
// The connection is process-wide and is lost for good, so each case runs in
// a child process of its own.
#include <X11/Xatom.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/x11/xserver/x_display.h"

namespace {

namespace x11 = platform::x11;
using Items = std::vector<std::uint32_t>;

// A private Xvfb on a display number it picks itself.
class Server {
public:
    Server() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            int out = ::dup(fds[1]);  // without close-on-exec: Xvfb writes its number here
            std::string fd = std::to_string(out);
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && ::poll(&p, 1, 15000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~Server() { kill(); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    const std::string& name() const { return name_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string name_;
};

Atom propertyAtom() { return x11::atom("AGENT_TEST_CARDINALS"); }

// Connects to a fresh server, checks the reads work, kills the server, runs
// `firstContact` (the first use of the dead connection), then checks every
// call answers its empty form.
void survive(const std::function<void(Display*, Window)>& firstContact) {
    Server server;
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    ::setenv("DISPLAY", server.name().c_str(), 1);

    Display* d = x11::display();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(x11::connectionLost());
    Window root = DefaultRootWindow(d);
    EXPECT_EQ(x11::atom("WM_NAME"), XA_WM_NAME);
    Atom cardinals = propertyAtom();
    ASSERT_NE(cardinals, static_cast<Atom>(None));
    // 32-bit items arrive sign-extended in longs and leave masked.
    long items[] = {-1, 1, static_cast<long>(static_cast<int>(0x80000000u))};
    XChangeProperty(d, root, cardinals, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(items), 3);
    EXPECT_EQ(x11::property32(root, cardinals, XA_CARDINAL), (Items{0xffffffffu, 1u, 0x80000000u}));
    EXPECT_EQ(x11::property32(root, cardinals, XA_WINDOW), Items{});
    Atom text = x11::atom("AGENT_TEST_TEXT");
    const char utf8[] = "caf\xc3\xa9";
    XChangeProperty(d, root, text, x11::atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8), 5);
    EXPECT_EQ(x11::propertyText(root, text), std::string(utf8));
    EXPECT_EQ(x11::propertyText(root, x11::atom("AGENT_TEST_ABSENT")), std::nullopt);
    {
        x11::ErrorTrap trap;
        XMapWindow(d, 0x1fffffff);  // no such window
        EXPECT_TRUE(trap.failed());
    }
    {
        x11::ErrorTrap trap;
        EXPECT_FALSE(trap.failed());
    }

    server.kill();
    firstContact(d, root);
    EXPECT_EQ(x11::property32(root, cardinals, XA_CARDINAL), Items{});
    EXPECT_TRUE(x11::connectionLost());
    EXPECT_EQ(x11::display(), nullptr);
    EXPECT_EQ(x11::atom("WM_NAME"), static_cast<Atom>(None));
    EXPECT_EQ(x11::atom("AGENT_TEST_NEW"), static_cast<Atom>(None));
    EXPECT_EQ(x11::propertyText(root, text), std::nullopt);
    x11::ErrorTrap trap;
    EXPECT_TRUE(trap.failed());
}

// Runs `body` in a child process that must end by itself with status 0;
// failures inside it are printed by the child.
void inChild(const std::function<void()>& body) {
    EXPECT_EXIT(
        {
            body();
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(XDisplay, ServerGoneFoundByARead) {
    inChild([] { survive([](Display*, Window root) { EXPECT_EQ(x11::property32(root, propertyAtom(), XA_CARDINAL), Items{}); }); });
}

TEST(XDisplay, ServerGoneFoundByASync) {
    inChild([] {
        survive([](Display*, Window) {
            x11::ErrorTrap trap;
            EXPECT_TRUE(trap.failed());
        });
    });
}

TEST(XDisplay, ServerGoneFoundByAnAtom) {
    inChild([] { survive([](Display*, Window) { EXPECT_EQ(x11::atom("AGENT_TEST_FIRST"), static_cast<Atom>(None)); }); });
}

// Requests without a reply, as input events are sent: only the flush meets
// the closed socket.
TEST(XDisplay, ServerGoneFoundByAFlush) {
    inChild([] {
        survive([](Display* d, Window root) {
            for (int i = 0; i < 1000; ++i) XMapWindow(d, root);
            XFlush(d);
            XFlush(d);
        });
    });
}

TEST(XDisplay, ServerGoneFoundByPendingEvents) {
    inChild([] {
        survive([](Display* d, Window) {
            XPending(d);
            XPending(d);
        });
    });
}

TEST(XDisplay, NoServerAtAll) {
    inChild([] {
        ::setenv("DISPLAY", ":65000", 1);  // nothing listens there
        EXPECT_EQ(x11::display(), nullptr);
        EXPECT_EQ(x11::atom("WM_NAME"), static_cast<Atom>(None));
        EXPECT_EQ(x11::property32(1, XA_WM_NAME, XA_CARDINAL), Items{});
        EXPECT_FALSE(x11::connectionLost());
    });
}

}  // namespace
