#include "platform/x11/xserver/settle.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {
namespace {

using Clock = std::chrono::steady_clock;

struct PingReply {
    Atom protocols;
    Atom ping;
    long stamp;
    Window window;
};

Bool isPingReply(Display*, XEvent* e, XPointer arg) {
    auto* want = reinterpret_cast<PingReply*>(arg);
    return e->type == ClientMessage && e->xclient.message_type == want->protocols &&
           e->xclient.format == 32 && static_cast<Atom>(e->xclient.data.l[0]) == want->ping &&
           e->xclient.data.l[1] == want->stamp &&
           static_cast<Window>(e->xclient.data.l[2]) == want->window;
}

// What listening to the root's substructure brought in: the root's
// structure events and the messages clients send to the root (answers to
// pings, ours that came too late and the window manager's).
Bool isFromListening(Display* d, XEvent* e, XPointer) {
    switch (e->type) {
    case CreateNotify:
    case DestroyNotify:
    case UnmapNotify:
    case MapNotify:
    case ReparentNotify:
    case ConfigureNotify:
    case GravityNotify:
    case CirculateNotify:
    case ClientMessage:
        return e->xany.window == DefaultRootWindow(d);
    default:
        return False;
    }
}

bool speaksPing(Window w) {
    auto protocols = property32(w, atom("WM_PROTOCOLS"), XA_ATOM);
    return std::find(protocols.begin(), protocols.end(), atom("_NET_WM_PING")) != protocols.end();
}

// Waits for the answer to `want`, at most kPingWaitMs.
bool awaitReply(Display* d, PingReply& want) {
    auto deadline = Clock::now() + std::chrono::milliseconds(kPingWaitMs);
    XEvent reply;
    while (!connectionLost()) {
        if (XCheckIfEvent(d, &reply, isPingReply, reinterpret_cast<XPointer>(&want))) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
    }
    return false;
}

// A _NET_WM_PING round trip to `w`; true once its answer came back. The
// client answers to the root, to the clients listening for its substructure:
// this connection listens for the time of the wait.
bool ping(Display* d, Window w) {
    static long stamp = static_cast<long>(Clock::now().time_since_epoch().count() & 0x3fffffff);
    Window root = DefaultRootWindow(d);
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d, root, &attrs)) return false;
    long mask = attrs.your_event_mask;
    bool listening = mask & SubstructureNotifyMask;
    if (!listening) XSelectInput(d, root, mask | SubstructureNotifyMask);

    PingReply want{atom("WM_PROTOCOLS"), atom("_NET_WM_PING"), ++stamp & 0x7fffffff, w};
    bool answered = false;
    {
        ErrorTrap trap;
        sendMessage(d, w, NoEventMask, w, want.protocols,
                    {static_cast<long>(want.ping), want.stamp, static_cast<long>(w)});
        XFlush(d);
        answered = awaitReply(d, want);
        if (trap.failed()) answered = false;  // the window went away
    }
    if (!listening && !connectionLost()) {
        XSelectInput(d, root, mask);
        XSync(d, False);
        XEvent dropped;
        while (XCheckIfEvent(d, &dropped, isFromListening, nullptr)) {
        }
    }
    return answered;
}

}  // namespace

void settle(Display* d, Window target) {
    if (target != None && speaksPing(target) && ping(d, target)) return;
    if (connectionLost()) return;
    XSync(d, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
}

}  // namespace platform::x11
