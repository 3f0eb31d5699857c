// The Linux backend's shared X connection against a private Xvfb: atoms,
// property reads and the error trap while the server runs, and empty answers
// (never an exit, never a hang) once the server has been killed; then what is
// built on it: walks in the window tree, client messages, and the window
// manager's properties and requests (no window manager runs: the test plays
// its part).
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

#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/window_tree.h"
#include "platform/x11/xserver/x_display.h"

namespace {

namespace x11 = platform::x11;
using Items = std::vector<std::uint32_t>;
using Windows = std::vector<Window>;

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

// Runs `body` on a fresh server, in a child process.
void onServer(const std::function<void(Display*, Window)>& body) {
    inChild([&] {
        Server server;
        ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", server.name().c_str(), 1);
        Display* d = x11::display();
        ASSERT_NE(d, nullptr);
        body(d, DefaultRootWindow(d));
    });
}

Window makeWindow(Display* d, Window parent) { return XCreateSimpleWindow(d, parent, 0, 0, 10, 10, 0, 0, 0); }

void setCardinals(Display* d, Window w, const char* property, Atom type, std::vector<long> items) {
    XChangeProperty(d, w, x11::atom(property), type, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(items.data()), static_cast<int>(items.size()));
}

TEST(XWindowTree, WalksUpToTheChildOfTheRoot) {
    onServer([](Display* d, Window root) {
        Window frame = makeWindow(d, root), client = makeWindow(d, frame), inner = makeWindow(d, client);
        x11::Ancestry up = x11::ancestry(d, inner);
        EXPECT_EQ(up.windows, (Windows{inner, client, frame}));
        EXPECT_TRUE(up.complete);
        EXPECT_EQ(x11::topLevel(d, inner), frame);
        EXPECT_EQ(x11::topLevel(d, client), frame);
        EXPECT_EQ(x11::topLevel(d, frame), frame);
        EXPECT_EQ(x11::topLevel(d, root), static_cast<Window>(None));
        EXPECT_EQ(x11::topLevel(d, None), static_cast<Window>(None));
        EXPECT_TRUE(x11::ancestry(d, root).windows.empty());

        EXPECT_TRUE(x11::within(d, inner, client));
        EXPECT_TRUE(x11::within(d, inner, frame));
        EXPECT_TRUE(x11::within(d, client, client));
        EXPECT_FALSE(x11::within(d, client, inner));
        EXPECT_FALSE(x11::within(d, client, None));
        EXPECT_FALSE(x11::within(d, None, client));

        // A window that is gone ends the walk short of the root: it is the
        // one window listed, and it has no top level.
        XDestroyWindow(d, client);
        up = x11::ancestry(d, inner);
        EXPECT_EQ(up.windows, Windows{inner});
        EXPECT_FALSE(up.complete);
        EXPECT_EQ(x11::topLevel(d, inner), static_cast<Window>(None));
        EXPECT_FALSE(x11::within(d, inner, frame));
        EXPECT_EQ(x11::topLevel(d, frame), frame);
    });
}

TEST(XClientMessages, ReachTheClientThatMadeTheWindow) {
    onServer([](Display* d, Window root) {
        Window w = makeWindow(d, root);
        Atom type = x11::atom("AGENT_TEST_MESSAGE");
        EXPECT_NE(x11::sendMessage(d, w, NoEventMask, w, type, {7, -1, static_cast<long>(root)}), 0);
        XSync(d, False);
        XEvent e;
        ASSERT_TRUE(XCheckTypedWindowEvent(d, w, ClientMessage, &e));
        EXPECT_EQ(e.xclient.message_type, type);
        EXPECT_EQ(e.xclient.format, 32);
        EXPECT_EQ(e.xclient.data.l[0], 7);
        EXPECT_EQ(e.xclient.data.l[1], -1);
        EXPECT_EQ(static_cast<Window>(e.xclient.data.l[2]), root);
        EXPECT_EQ(e.xclient.data.l[3], 0);
    });
}

TEST(Ewmh, ReadsTheClientListFrontToBack) {
    onServer([](Display* d, Window root) {
        Window back = makeWindow(d, root), front = makeWindow(d, root), nameless = makeWindow(d, root);
        EXPECT_TRUE(x11::managedWindows().empty());
        // The client list holds every window; the stacking list, bottom to
        // top, wins when there is one.
        setCardinals(d, root, "_NET_CLIENT_LIST", XA_WINDOW, {static_cast<long>(front), static_cast<long>(back)});
        setCardinals(d, back, "_NET_WM_PID", XA_CARDINAL, {41});
        setCardinals(d, front, "_NET_WM_PID", XA_CARDINAL, {42});
        setCardinals(d, back, "_NET_WM_STATE", XA_ATOM, {static_cast<long>(x11::atom("_NET_WM_STATE_HIDDEN"))});
        auto windows = x11::managedWindows();
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_EQ(windows[0].id, back);
        setCardinals(d, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW,
                     {static_cast<long>(back), static_cast<long>(nameless), static_cast<long>(front)});
        windows = x11::managedWindows();
        ASSERT_EQ(windows.size(), 3u);
        EXPECT_EQ(windows[0].id, front);
        EXPECT_EQ(windows[0].pid, 42);
        EXPECT_FALSE(windows[0].minimised);
        EXPECT_EQ(windows[1].id, nameless);
        EXPECT_EQ(windows[1].pid, 0);
        EXPECT_EQ(windows[2].id, back);
        EXPECT_TRUE(windows[2].minimised);
        windows = x11::managedWindows(41);
        ASSERT_EQ(windows.size(), 1u);
        EXPECT_EQ(windows[0].id, back);
        EXPECT_EQ(x11::frontWindowOf(42), front);
        EXPECT_EQ(x11::frontWindowOf(43), static_cast<Window>(None));
        EXPECT_EQ(x11::frontWindowOf(0), static_cast<Window>(None));
        // A pid beyond 32 bits' signed range is no pid.
        setCardinals(d, nameless, "_NET_WM_PID", XA_CARDINAL, {static_cast<long>(0x80000000u)});
        EXPECT_EQ(x11::windowPid(nameless), 0);

        EXPECT_EQ(x11::activeWindow(), static_cast<Window>(None));
        setCardinals(d, root, "_NET_ACTIVE_WINDOW", XA_WINDOW, {static_cast<long>(back)});
        EXPECT_EQ(x11::activeWindow(), back);
    });
}

TEST(Ewmh, ReadsWhatAClientSaysAboutItself) {
    onServer([](Display* d, Window root) {
        Window w = makeWindow(d, root);
        EXPECT_EQ(x11::windowTitle(w), "");
        EXPECT_EQ(x11::windowOpacity(w), 1.0);
        x11::FrameExtents none = x11::frameExtents(w);
        EXPECT_EQ(none.left + none.right + none.top + none.bottom, 0.0);
        EXPECT_EQ(x11::windowType(w), x11::WindowType::normal);

        XStoreName(d, w, "plain");
        EXPECT_EQ(x11::windowTitle(w), "plain");
        const char utf8[] = "caf\xc3\xa9";
        XChangeProperty(d, w, x11::atom("_NET_WM_NAME"), x11::atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8), 5);
        EXPECT_EQ(x11::windowTitle(w), std::string(utf8));

        setCardinals(d, w, "_NET_WM_WINDOW_OPACITY", XA_CARDINAL, {static_cast<long>(0x7fffffffu)});
        EXPECT_NEAR(x11::windowOpacity(w), 0.5, 1e-6);
        setCardinals(d, w, "_NET_FRAME_EXTENTS", XA_CARDINAL, {1, 2, 3, 4});
        x11::FrameExtents frame = x11::frameExtents(w);
        EXPECT_EQ(frame.left, 1.0);
        EXPECT_EQ(frame.right, 2.0);
        EXPECT_EQ(frame.top, 3.0);
        EXPECT_EQ(frame.bottom, 4.0);
        // The first type the backend knows wins.
        setCardinals(d, w, "_NET_WM_WINDOW_TYPE", XA_ATOM,
                     {static_cast<long>(x11::atom("_KDE_NET_WM_WINDOW_TYPE_OVERRIDE")),
                      static_cast<long>(x11::atom("_NET_WM_WINDOW_TYPE_DOCK")),
                      static_cast<long>(x11::atom("_NET_WM_WINDOW_TYPE_DIALOG"))});
        EXPECT_EQ(x11::windowType(w), x11::WindowType::dock);
        setCardinals(d, w, "_NET_WM_STATE", XA_ATOM, {static_cast<long>(x11::atom("_NET_WM_STATE_ABOVE"))});
        EXPECT_TRUE(x11::hasState(x11::windowStates(w), "_NET_WM_STATE_ABOVE"));
        EXPECT_FALSE(x11::hasState(x11::windowStates(w), "_NET_WM_STATE_HIDDEN"));
    });
}

// A second connection of the test stands in for the window manager: it
// selects the root's substructure redirection, which is where activation
// requests go.
TEST(Ewmh, AsksForActivationWithTheServersTime) {
    onServer([](Display* d, Window root) {
        Display* manager = XOpenDisplay(std::getenv("DISPLAY"));
        ASSERT_NE(manager, nullptr);
        XSelectInput(manager, root, SubstructureRedirectMask);
        XSync(manager, False);
        Window w = makeWindow(d, root), active = makeWindow(d, root);
        setCardinals(d, root, "_NET_ACTIVE_WINDOW", XA_WINDOW, {static_cast<long>(active)});
        Time before = x11::serverTime(d);
        EXPECT_NE(before, static_cast<Time>(CurrentTime));
        EXPECT_TRUE(x11::requestActivation(d, w, false));
        XSync(manager, False);
        XEvent e;
        ASSERT_TRUE(XCheckTypedWindowEvent(manager, w, ClientMessage, &e));
        EXPECT_EQ(e.xclient.message_type, x11::atom("_NET_ACTIVE_WINDOW"));
        EXPECT_EQ(e.xclient.data.l[0], 2);  // a pager's request
        EXPECT_GE(static_cast<Time>(e.xclient.data.l[1]), before);
        EXPECT_EQ(static_cast<Window>(e.xclient.data.l[2]), active);

        // Mapping first: the map request reaches the manager before the
        // message does.
        EXPECT_TRUE(x11::requestActivation(d, w, true));
        XSync(manager, False);
        ASSERT_TRUE(XCheckTypedWindowEvent(manager, root, MapRequest, &e));  // reported on the parent
        EXPECT_EQ(e.xmaprequest.window, w);
        ASSERT_TRUE(XCheckTypedWindowEvent(manager, w, ClientMessage, &e));
        // A window that does not exist cannot be mapped.
        EXPECT_FALSE(x11::requestActivation(d, 0x1fffffff, true));
        XCloseDisplay(manager);
    });
}

}  // namespace
