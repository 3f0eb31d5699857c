// Linux backend: the main display and the screen permission, from RandR
// (the whole root window where it has no outputs).
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <optional>
#include <utility>

#include "platform/platform.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {
namespace {

// The CRTC rectangle an output shows; none when it shows nothing.
std::optional<Rect> outputBounds(Display* d, XRRScreenResources* res, RROutput output) {
    std::optional<Rect> bounds;
    XRROutputInfo* info = XRRGetOutputInfo(d, res, output);
    if (!info) return bounds;
    if (info->connection == RR_Connected && info->crtc != None) {
        if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, res, info->crtc)) {
            if (crtc->width > 0 && crtc->height > 0)
                bounds = Rect{{static_cast<double>(crtc->x), static_cast<double>(crtc->y)},
                              {static_cast<double>(crtc->width), static_cast<double>(crtc->height)}};
            XRRFreeCrtcInfo(crtc);
        }
    }
    XRRFreeOutputInfo(info);
    return bounds;
}

// The main display: RandR's primary output, else the first connected output
// that shows something; its id is the output's. Without RandR (or outputs)
// the whole root window, with the root's id.
std::pair<std::uint32_t, Rect> mainDisplay(Display* d) {
    Window root = DefaultRootWindow(d);
    int eventBase = 0, errorBase = 0;
    x11::ErrorTrap trap;
    if (XRRQueryExtension(d, &eventBase, &errorBase)) {
        if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root)) {
            std::optional<std::pair<std::uint32_t, Rect>> found;
            RROutput primary = XRRGetOutputPrimary(d, root);
            if (primary != None)
                if (auto r = outputBounds(d, res, primary)) found.emplace(static_cast<std::uint32_t>(primary), *r);
            for (int i = 0; !found && i < res->noutput; ++i)
                if (auto r = outputBounds(d, res, res->outputs[i]))
                    found.emplace(static_cast<std::uint32_t>(res->outputs[i]), *r);
            XRRFreeScreenResources(res);
            if (found) return *found;
        }
    }
    int screen = DefaultScreen(d);
    return {static_cast<std::uint32_t>(root),
            Rect{{0, 0}, {static_cast<double>(DisplayWidth(d, screen)), static_cast<double>(DisplayHeight(d, screen))}}};
}

}  // namespace

std::uint32_t cgMainDisplayID() {
    Display* d = x11::display();
    return d ? mainDisplay(d).first : 0;
}

Rect cgDisplayBounds(std::uint32_t id) {
    Display* d = x11::display();
    if (!d || id == 0) return {};
    auto [mainId, bounds] = mainDisplay(d);
    if (id == mainId) return bounds;
    // Another output, asked for by its id.
    std::optional<Rect> other;
    x11::ErrorTrap trap;
    if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, DefaultRootWindow(d))) {
        for (int i = 0; i < res->noutput; ++i)
            if (res->outputs[i] == id) other = outputBounds(d, res, res->outputs[i]);
        XRRFreeScreenResources(res);
    }
    return other.value_or(Rect{});
}

// X has no capture permission: a client that can read the root window can
// read what it shows.
bool cgPreflightScreenCaptureAccess() {
    Display* d = x11::display();
    if (!d) return false;
    XWindowAttributes a;
    x11::ErrorTrap trap;
    return XGetWindowAttributes(d, DefaultRootWindow(d), &a) != 0 && !trap.failed();
}

bool cgRequestScreenCaptureAccess() { return cgPreflightScreenCaptureAccess(); }

}  // namespace platform
